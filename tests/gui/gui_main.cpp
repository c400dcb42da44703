// GoogleTest on a QApplication: the widgets are real, the platform offscreen.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Without a platform and without a display Qt aborts; ctest sets it too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
