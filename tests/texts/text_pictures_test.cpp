// "Save as picture..." on the Diz and Nfo panels: the dialog it asks, the
// PNG it writes, and what it does when the text or the picture fails.
#include "texts/text_pictures.h"

#include <filesystem>

#include "art/png_header.h"
#include "texts_fixture.h"

namespace kelvo::texts {

namespace {

using Size = std::pair<std::uint32_t, std::uint32_t>;

class TextPictureTest : public TextsTest {
 protected:
  TextPictureTest() {
    Write("d:\\rel\\orbit.nfo", "\xC9\xCD\xBB\r\n\xBA\xDB\xBA\r\n\xC8\xCD\xBC\r\n");
    ctx.job.NfoPath = "d:\\rel\\orbit.nfo";
    Write("d:\\rel\\file_id.diz", std::string(45, '\xB1') + "\r\n");
    ctx.job.DizPath = "d:\\rel\\file_id.diz";
  }
  std::optional<Size> Picture(const std::string& dosPath) {
    return Exists(dosPath) ? testing::PngSize(Read(dosPath)) : std::nullopt;
  }
  std::string Message() const {
    return app.ui.messages.empty() ? std::string() : app.ui.messages.back().text;
  }
};

}  // namespace

TEST_F(TextPictureTest, SavesThePictureWhereTheDialogSays) {
  app.ui.fileAnswers.push_back("e:\\shots\\orbit.png");
  std::filesystem::create_directories(app.drives.Host('e', "shots"));
  SaveNfoPicture(ctx);
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  const testing::ShownDialog& dialog = app.ui.dialogs[0];
  EXPECT_EQ(dialog.kind, testing::ShownDialog::Save);
  EXPECT_EQ(dialog.title, "Save as picture");
  EXPECT_EQ(dialog.initialName, "orbit.png");
  EXPECT_EQ(dialog.initialDir, "d:\\rel");
  EXPECT_TRUE(app.ui.messages.empty()) << Message();
  EXPECT_EQ(Picture("e:\\shots\\orbit.png"), Size(80 * 8, 3 * 16));
  EXPECT_EQ(Read("d:\\rel\\orbit.nfo"), "\xC9\xCD\xBB\r\n\xBA\xDB\xBA\r\n\xC8\xCD\xBC\r\n");

  // The DIZ's, named without an extension: it gains one.
  app.ui.fileAnswers.push_back("d:\\rel\\diz");
  SaveDizPicture(ctx);
  EXPECT_EQ(app.ui.dialogs.back().initialName, "file_id.png");
  EXPECT_EQ(Picture("d:\\rel\\diz.png"), Size(80 * 8, 16));
}

TEST_F(TextPictureTest, NothingWithoutATextOrAChoice) {
  ctx.job.NfoPath.clear();
  SaveNfoPicture(ctx);
  EXPECT_TRUE(app.ui.dialogs.empty());
  app.ui.fileAnswers.push_back(std::nullopt);
  SaveDizPicture(ctx);
  EXPECT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_FALSE(Exists("d:\\rel\\file_id.png"));
}

TEST_F(TextPictureTest, FailuresAreReportedAndLeaveNoPicture) {
  // A text that is gone.
  ctx.job.NfoPath = "d:\\rel\\gone.nfo";
  app.ui.fileAnswers.push_back("d:\\rel\\gone.png");
  SaveNfoPicture(ctx);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_TRUE(Message().starts_with("The picture can't be saved\r")) << Message();
  EXPECT_FALSE(Exists("d:\\rel\\gone.png"));

  // A text too large to draw: an older picture stays as it was.
  Write("d:\\rel\\tall.nfo", std::string(300000, '\n'));
  Write("d:\\rel\\tall.png", "an older picture");
  ctx.job.NfoPath = "d:\\rel\\tall.nfo";
  app.ui.fileAnswers.push_back("d:\\rel\\tall.png");
  SaveNfoPicture(ctx);
  ASSERT_EQ(app.ui.messages.size(), 2u);
  EXPECT_NE(Message().find("too large for a picture"), std::string::npos) << Message();
  EXPECT_EQ(Read("d:\\rel\\tall.png"), "an older picture");

  // The text itself chosen as the picture: refused, the text kept.
  ctx.job.NfoPath = "d:\\rel\\orbit.nfo";
  app.ui.fileAnswers.push_back("d:\\rel\\orbit.nfo");
  SaveNfoPicture(ctx);
  ASSERT_EQ(app.ui.messages.size(), 3u);
  EXPECT_EQ(Read("d:\\rel\\orbit.nfo"), "\xC9\xCD\xBB\r\n\xBA\xDB\xBA\r\n\xC8\xCD\xBC\r\n");

  // A folder that does not exist.
  app.ui.fileAnswers.push_back("e:\\nowhere\\orbit.png");
  SaveNfoPicture(ctx);
  ASSERT_EQ(app.ui.messages.size(), 4u);
  EXPECT_TRUE(Message().starts_with("The picture can't be saved\r")) << Message();
}

}  // namespace kelvo::texts
