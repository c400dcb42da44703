// The icon and splash picture written for the desktop load as PNGs of the
// sizes their names promise, and show a picture rather than a blank.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>

namespace kelvo::assets {

namespace {

int OpaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 200) ++count;
  return count;
}

QString IconPath(int size) {
  return QString("%1/share/icons/hicolor/%2x%2/apps/kelvo32.png").arg(KELVO_PICTURES_DIR).arg(size);
}

}  // namespace

class IconFile : public ::testing::TestWithParam<int> {};

TEST_P(IconFile, IsASquarePngOfItsSizeWithTransparentCorners) {
  const int size = GetParam();
  QImage image;
  ASSERT_TRUE(image.load(IconPath(size), "PNG")) << IconPath(size).toStdString();
  EXPECT_EQ(image.size(), QSize(size, size));
  EXPECT_TRUE(image.hasAlphaChannel());
  // A round picture: the corners are see-through, the middle is not.
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
  EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
  // A disc fills about pi/4 of its square.
  const double filled = static_cast<double>(OpaquePixels(image)) / (size * size);
  EXPECT_GT(filled, 0.55);
  EXPECT_LT(filled, 0.85);
}

INSTANTIATE_TEST_SUITE_P(HicolorSizes, IconFile, ::testing::Values(16, 32, 48, 64, 128, 256));

TEST(SplashFile, IsTheSplashPictureWithItsOutline) {
  QImage image;
  ASSERT_TRUE(image.load(QString(KELVO_PICTURES_DIR) + "/splash.png", "PNG"));
  EXPECT_EQ(image.size(), QSize(420, 240));
  // Outside the rounded plate and the disc above it nothing is drawn.
  EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, 0)), 0);
  EXPECT_EQ(qAlpha(image.pixel(0, image.height() - 1)), 0);
  EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
}

}  // namespace kelvo::assets
