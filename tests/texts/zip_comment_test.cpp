#include "texts/zip_comment.h"

#include <filesystem>

#include "texts/texts_fixture.h"

namespace kelvo::texts {

namespace {
const std::string kIni = "c:\\app\\Kelvo32.ini";
const std::string kCopy = "c:\\app\\temp\\banner.txt";
const std::string kBanner = "\xC9\xCD\xCD\xBB\r\n\xBA KVO \xBA\r\n\xC8\xCD\xCD\xBC";
}  // namespace

class ZipCommentTest : public TextsTest {
 protected:
  // Starts as the session and the main window would.
  void Start() {
    ReadSettingsFile(ctx);
    SetZipCommentAtStart(ctx);
  }
  void Choose(const std::optional<std::string>& answer) {
    app.ui.fileAnswers.push_back(answer);
    ToggleZipComment(ctx);
  }
};

TEST_F(ZipCommentTest, ToggleTwiceRemembersThenForgetsTheCopy) {
  Write(kIni, "first\r\n\xB0second\r\nthird\r\nold line four\r\n");
  Write("d:\\Rel\\Banner.txt", kBanner);
  Start();
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  Choose("d:\\Rel\\Banner.txt");
  const auto& d = app.ui.dialogs.at(0);
  EXPECT_EQ(d.title, "Zip header");
  EXPECT_EQ(d.filter, "Text files (*.txt)|*.txt");
  EXPECT_EQ(d.initialName, "*.txt");
  EXPECT_TRUE(ctx.job.ZipCommentEnabled);
  EXPECT_EQ(ctx.job.ZipCommentPath, "c:\\app\\temp\\Banner.txt");
  EXPECT_EQ(Read(ctx.job.ZipCommentPath), kBanner);
  EXPECT_EQ(Read(kIni), "first\r\n\xB0second\r\nthird\r\nc:\\app\\temp\\banner.txt\r\n");

  // Later edits of the chosen file do not reach the copy.
  Write("d:\\Rel\\Banner.txt", "edited");
  EXPECT_EQ(Read(kCopy), kBanner);

  ToggleZipComment(ctx);
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  EXPECT_FALSE(Exists(kCopy));
  EXPECT_EQ(Read(kIni), "first\r\n\xB0second\r\nthird\r\n\r\n");
  EXPECT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(ZipCommentTest, SizeLimitIs32000Bytes) {
  Write("d:\\big.txt", std::string(32001, 'x'));
  Write("d:\\fits.txt", std::string(32000, 'x'));
  Choose("d:\\big.txt");
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Zip header file is too large"});
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  EXPECT_FALSE(Exists("c:\\app\\temp\\big.txt"));
  EXPECT_FALSE(Exists(kIni));

  Choose("d:\\fits.txt");
  EXPECT_TRUE(ctx.job.ZipCommentEnabled);
  EXPECT_EQ(ctx.fs.FileLength("c:\\app\\temp\\fits.txt"), 32000u);
  // No settings file before: lines 1 to 3 are written empty.
  EXPECT_EQ(Read(kIni), "\r\n\r\n\r\nc:\\app\\temp\\fits.txt\r\n");
}

TEST_F(ZipCommentTest, CancelOrAnEmptyNameChangesNothing) {
  Choose(std::nullopt);
  Choose("");
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  EXPECT_EQ(ctx.job.ZipCommentPath, "");
  EXPECT_FALSE(Exists(kIni));
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(ZipCommentTest, UnusableChoicesAreToldAndLeaveFilesIntact) {
  Write(kCopy, kBanner);
  Choose(kCopy);  // the copy itself: copying would truncate it
  Choose("d:\\vanished.txt");
  ASSERT_EQ(app.ui.messages.size(), 2u);
  EXPECT_TRUE(app.ui.messages[0].text.starts_with("The zip header file can't be used\r"));
  EXPECT_NE(app.ui.messages[1].text.find("vanished.txt"), std::string::npos);
  EXPECT_EQ(Read(kCopy), kBanner);
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  EXPECT_FALSE(Exists(kIni));
}

TEST_F(ZipCommentTest, SameNameReplacesTheOlderCopy) {
  Write(kCopy, "older");
  Write("e:\\banner.txt", kBanner);
  Choose("e:\\banner.txt");
  EXPECT_EQ(Read(kCopy), kBanner);
}

TEST_F(ZipCommentTest, StartFollowsTheRememberedCopy) {
  Start();  // no settings file
  EXPECT_EQ(ctx.job.ZipCommentPath, "");
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);

  Write(kCopy, kBanner);
  Write(kIni, "a\r\nb\r\nc\r\n" + kCopy + "\r\n");
  Start();
  EXPECT_TRUE(ctx.job.ZipCommentEnabled);
  EXPECT_EQ(ctx.job.ZipCommentPath, kCopy);
  EXPECT_EQ(ctx.settings.Line2, "b");

  ::unlink(Host(kCopy).c_str());  // deleted behind the program's back
  Start();
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);

  Write(kIni, "short\r\n");  // lines it lacks read as empty
  Start();
  EXPECT_EQ(ctx.settings.Line1, "short");
  EXPECT_EQ(ctx.settings.Line3, "");
  EXPECT_EQ(ctx.job.ZipCommentPath, "");
}

TEST_F(ZipCommentTest, AStartThatCannotLookForTheSettingsFileReadsNone) {
  // A '*' in the folder's name makes the look a listing, and a folder that
  // links to itself cannot be listed.
  std::filesystem::create_directory_symlink("a*p", Host("c:\\a*p"));
  Context odd(app.fs, app.runner, app.ui, app.clock, "c:\\a*p");
  odd.job.ZipCommentPath = "as before";
  EXPECT_NO_THROW(ReadSettingsFile(odd));
  EXPECT_EQ(odd.job.ZipCommentPath, "as before");
}

TEST_F(ZipCommentTest, TurningOffWithoutASettingsFileStillDeletesTheCopy) {
  Write("d:\\banner.txt", kBanner);
  Choose("d:\\banner.txt");
  ::unlink(Host(kIni).c_str());
  ToggleZipComment(ctx);
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  EXPECT_FALSE(Exists(kCopy));
  EXPECT_EQ(Read(kIni), "\r\n\r\n\r\n\r\n");
}

TEST_F(ZipCommentTest, TurningOffDeletesNothingOutsideTheTempFolder) {
  Write("d:\\precious.txt", "keep me");
  Write(kIni, "1\r\n2\r\n3\r\nd:\\precious.txt\r\n");
  Start();
  EXPECT_TRUE(ctx.job.ZipCommentEnabled);
  ToggleZipComment(ctx);
  EXPECT_FALSE(ctx.job.ZipCommentEnabled);
  EXPECT_EQ(Read("d:\\precious.txt"), "keep me");
  EXPECT_EQ(Read(kIni), "1\r\n2\r\n3\r\n\r\n");
}

TEST_F(ZipCommentTest, ASettingsFileThatCannotBeWrittenIsTold) {
  Write(kIni, "1\r\n2\r\n3\r\n\r\n");
  MakeReadOnly(kIni);
  Write("d:\\banner.txt", kBanner);
  Start();
  Choose("d:\\banner.txt");
  EXPECT_TRUE(ctx.job.ZipCommentEnabled);  // for this start of the program
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_TRUE(app.ui.messages[0].text.starts_with("The zip header can't be remembered"));
  EXPECT_EQ(Read(kIni), "1\r\n2\r\n3\r\n\r\n");
}

}  // namespace kelvo::texts
