#include "texts/diz_nfo.h"

#include <filesystem>

#include "host/host_error.h"
#include "texts/text_files.h"
#include "texts/texts_fixture.h"

namespace kelvo::texts {

namespace {
// CP437 box art and accents: bytes that a re-encoding would change.
const std::string kArt = "\xC9\xCD\xCD\xBB \x82t\x82 \xB0\xB1\xB2\xDB\x1A";
const std::string kTag = std::string(28, ' ') + "Packaged with Kelvo32 by KVO";

// A SAUCE record with `comments` comment lines, its fields holding CR, LF,
// NUL and 0x1A as real records may.
std::string SauceRecord(unsigned char comments) {
  std::string record = "SAUCE00Title\r\nof two lines";
  record.resize(90, ' ');
  record += std::string("\x0D\x0A\x00\x1A", 4);  // the file size field
  record.resize(128, '\0');
  record[104] = static_cast<char>(comments);
  return record;
}

// "COMNT" and `lines` lines of 64 bytes.
std::string CommentBlock(int lines) {
  std::string block = "COMNT";
  for (int i = 0; i < lines; ++i) {
    std::string line = "comment " + std::to_string(i) + "\r\n\n\r";
    line.resize(64, '\xB0');
    block += line;
  }
  return block;
}

// The copy of a text without a SAUCE record: its lines with CR LF, then an
// empty line and the tag.
std::string TaggedLines(const std::string& bytes) {
  std::string out;
  for (const auto& line : host::SplitLines(bytes)) out += line + "\r\n";
  return out + "\r\n" + kTag + "\r\n";
}
}  // namespace

using DizNfoTest = TextsTest;

TEST_F(DizNfoTest, TagLineIsKnownByItsFirstFortyCharacters) {
  EXPECT_EQ(NfoTagLine(), kTag);
  EXPECT_TRUE(IsNfoTagLine(std::string(28, ' ') + "Packaged wit"));
  EXPECT_TRUE(IsNfoTagLine(std::string(28, ' ') + "Packaged with Kelvo32 by ABC v2"));
  EXPECT_FALSE(IsNfoTagLine(std::string(28, ' ') + "Packaged wi"));
  EXPECT_FALSE(IsNfoTagLine(std::string(27, ' ') + "Packaged with Kelvo32 by KVO"));
  EXPECT_FALSE(IsNfoTagLine(""));
}

TEST_F(DizNfoTest, CreateTwiceKeepsTheSavedDraftAndChoosesIt) {
  RecordEditor();
  CreateDiz(ctx);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "Choose 'Save' when finished in notepad, not 'save as'");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::None);
  EXPECT_EQ(ctx.job.DizPath, "c:\\app\\temp\\file_id.diz");
  EXPECT_EQ(Read("c:\\app\\temp\\file_id.diz"), "");
  EXPECT_EQ(EditorArgs(), std::vector<std::string>{"c:\\app\\temp\\file_id.diz"});

  Write("c:\\app\\temp\\file_id.diz", "saved by the user\r\n" + kArt);
  ctx.job.DizPath.clear();
  CreateDiz(ctx);
  EXPECT_EQ(Read("c:\\app\\temp\\file_id.diz"), "saved by the user\r\n" + kArt);
  EXPECT_EQ(ctx.job.DizPath, "c:\\app\\temp\\file_id.diz");
}

TEST_F(DizNfoTest, CreateNfoChoosesTheDraftInLowerCase) {
  CreateNfo(ctx);
  EXPECT_TRUE(Exists("c:\\app\\temp\\About.nfo"));
  EXPECT_EQ(ctx.job.NfoPath, "c:\\app\\temp\\about.nfo");
  EXPECT_EQ(ctx.fs.FileLength(ctx.job.NfoPath), 0u);  // the lower-case path names the draft
}

TEST_F(DizNfoTest, CreateReportsADraftThatCannotBeMade) {
  RecordEditor();
  std::filesystem::remove_all(Host("c:\\app\\temp"));
  Write("c:\\app\\temp", "a file where the folder should be");
  ctx.job.NfoPath = "d:\\old.nfo";
  CreateNfo(ctx);
  ASSERT_EQ(app.ui.messages.size(), 2u);
  EXPECT_EQ(app.ui.messages[1].title, "Kelvo32 error");
  EXPECT_TRUE(app.ui.messages[1].text.starts_with("The new About.nfo can't be made\r"));
  EXPECT_EQ(ctx.job.NfoPath, "d:\\old.nfo");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(EditorStarted());
}

TEST_F(DizNfoTest, EditStartsTheEditorOnlyWithAPath) {
  EXPECT_EQ(EditorCommandLine("d:\\rel\\file_id.diz"), "Notepad.exe d:\\rel\\file_id.diz");
  EXPECT_EQ(EditorCommandLine("d:\\my rel\\a.nfo"), "Notepad.exe \"d:\\my rel\\a.nfo\"");
  RecordEditor();
  EditDiz(ctx);
  EditNfo(ctx);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(EditorStarted());
  ctx.job.NfoPath = "d:\\my rel\\a.nfo";  // need not exist
  EditNfo(ctx);
  EXPECT_EQ(EditorArgs(), std::vector<std::string>{"d:\\my rel\\a.nfo"});
}

TEST_F(DizNfoTest, BrowseDizCopiesTheChoiceAndCancelDropsIt) {
  Write("d:\\Rel\\FILE_ID.DIZ", kArt + "\r\nno end");
  ctx.job.SourcePath = "e:\\src";
  app.ui.fileAnswers = {"D:\\Rel\\FILE_ID.DIZ", std::nullopt};
  BrowseDiz(ctx);
  const auto& d = app.ui.dialogs.at(0);
  EXPECT_EQ(d.title, "Add file_id.diz");
  EXPECT_EQ(d.filter, "File_id.diz (file_id.diz)|file_id.diz|");
  EXPECT_EQ(d.initialName, "*.diz");
  EXPECT_EQ(d.initialDir, "e:\\src");
  EXPECT_EQ(ctx.job.DizPath, "d:\\rel\\file_id.diz");
  EXPECT_EQ(Read(Work("file_id.diz")), kArt + "\r\nno end");  // a plain byte copy

  BrowseDiz(ctx);
  EXPECT_EQ(app.ui.dialogs.at(1).initialDir, "d:\\rel\\file_id.diz");
  EXPECT_EQ(ctx.job.DizPath, "");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(DizNfoTest, BrowseDizRefusesTheWorkCopyAndLeavesItIntact) {
  Write(Work("file_id.diz"), kArt);
  app.ui.fileAnswers = {Work("file_id.diz")};
  BrowseDiz(ctx);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "The file_id.diz can't be from your application directory");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Critical);
  EXPECT_EQ(ctx.job.DizPath, "");
  EXPECT_EQ(Read(Work("file_id.diz")), kArt);
}

TEST_F(DizNfoTest, BrowseNfoStartsAtTheDizAndRefusesTheApplicationDirectory) {
  Write("d:\\rel\\Demo.NFO", "notes");
  Write(Work("mine.nfo"), "mine\r\n");
  app.ui.fileAnswers = {"d:\\rel\\Demo.NFO", Work("mine.nfo"), std::nullopt};
  BrowseNfo(ctx);
  const auto& d = app.ui.dialogs.at(0);
  EXPECT_EQ(d.title, "Add *.nfo");
  EXPECT_EQ(d.filter, "A nfo (*.nfo)|*.nfo|");
  EXPECT_EQ(d.initialName, "*.nfo");
  EXPECT_EQ(d.initialDir, "");  // DizPath, also when empty
  EXPECT_EQ(ctx.job.NfoPath, "d:\\rel\\demo.nfo");

  ctx.job.DizPath = "d:\\rel\\file_id.diz";
  BrowseNfo(ctx);
  EXPECT_EQ(app.ui.dialogs.at(1).initialDir, "d:\\rel\\file_id.diz");
  EXPECT_EQ(app.ui.MessageTexts(),
            std::vector<std::string>{"The nfo can't be from your application directory"});
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(ctx.job.NfoPath, "");
  EXPECT_EQ(Read(Work("mine.nfo")), "mine\r\n");

  ctx.job.NfoPath = "d:\\rel\\demo.nfo";
  BrowseNfo(ctx);  // cancel
  EXPECT_EQ(ctx.job.NfoPath, "");
}

TEST_F(DizNfoTest, CopyNfoEndsWithAnEmptyLineAndTheTag) {
  Write("d:\\rel\\demo.nfo", kArt + "\r\n\r\nlast line without end");
  ctx.job.NfoPath = "d:\\rel\\demo.nfo";
  CopyNfoForZip(ctx);
  EXPECT_EQ(ctx.run.NfoCopyName, "demo.nfo");
  EXPECT_EQ(Read(Work("demo.nfo")), kArt + "\r\n\r\nlast line without end\r\n\r\n" + kTag + "\r\n");
  EXPECT_EQ(app.ui.eventsProcessed, 3);

  // A copy chosen again gets no second tag.
  Write("d:\\rel\\again.nfo", Read(Work("demo.nfo")));
  ctx.job.NfoPath = "d:\\rel\\again.nfo";
  CopyNfoForZip(ctx);
  EXPECT_EQ(Read(Work("again.nfo")), Read("d:\\rel\\again.nfo"));
}

TEST_F(DizNfoTest, CopyNfoStopsAfterATagInTheMiddle) {
  Write("d:\\rel\\demo.nfo",
        "top\r\n" + std::string(28, ' ') + "Packaged with Kelvo32 by XYZ\r\n" + "old trailer\r\n");
  ctx.job.NfoPath = "d:\\rel\\demo.nfo";
  CopyNfoForZip(ctx);
  EXPECT_EQ(Read(Work("demo.nfo")),
            "top\r\n" + std::string(28, ' ') + "Packaged with Kelvo32 by XYZ\r\n");
}

TEST_F(DizNfoTest, CopyNfoTagsTheTextAndKeepsASauceRecordLast) {
  ctx.job.NfoPath = "d:\\rel\\demo.nfo";
  struct Case {
    const char* what;
    std::string text, tail;
  };
  const Case cases[] = {
      {"no comment", kArt + "\r\nlast\n", "\x1A" + SauceRecord(0)},
      {"two comment lines", "top\rlast", "\x1A" + CommentBlock(2) + SauceRecord(2)},
      {"nothing but the record", "", "\x1A" + SauceRecord(0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write("d:\\rel\\demo.nfo", c.text + c.tail);
    CopyNfoForZip(ctx);
    const std::string copy = Read(Work("demo.nfo"));
    EXPECT_EQ(copy, TaggedLines(c.text) + c.tail);
    // Chosen again, the copy comes out as it went in.
    Write("d:\\rel\\demo.nfo", copy);
    CopyNfoForZip(ctx);
    EXPECT_EQ(Read(Work("demo.nfo")), copy);
  }

  // A tag already in the text ends the text there; the record still follows.
  Write("d:\\rel\\demo.nfo", "top\r\n" + kTag + "\r\nold trailer\r\n\x1A" + SauceRecord(0));
  CopyNfoForZip(ctx);
  EXPECT_EQ(Read(Work("demo.nfo")), "top\r\n" + kTag + "\r\n\x1A" + SauceRecord(0));
}

TEST_F(DizNfoTest, CopyNfoTakesOnlyAWellFormedSauceTailAsARecord) {
  ctx.job.NfoPath = "d:\\rel\\demo.nfo";
  std::string version1 = SauceRecord(0);
  version1[6] = '1';
  const std::pair<const char*, std::string> tails[] = {
      {"no end-of-file byte", "\r\n" + SauceRecord(0)},
      {"comment lines not counted", "\x1A" + CommentBlock(1) + SauceRecord(0)},
      {"no end-of-file byte before the comments", "\r\n" + CommentBlock(1) + SauceRecord(1)},
      {"comment block without its mark",
       "\x1A" + CommentBlock(1).replace(0, 5, "CMNT!") + SauceRecord(1)},
      {"more comments than the file holds", "\x1A" + SauceRecord(200)},
      {"another version", "\x1A" + version1},
      {"record cut short", "\x1A" + SauceRecord(0).substr(0, 127)},
  };
  for (const auto& [what, tail] : tails) {
    SCOPED_TRACE(what);
    Write("d:\\rel\\demo.nfo", "text" + tail);
    CopyNfoForZip(ctx);
    EXPECT_EQ(Read(Work("demo.nfo")), TaggedLines("text" + tail));
  }
  // A file of 127 bytes or fewer holds no record.
  Write("d:\\rel\\demo.nfo", SauceRecord(0).substr(0, 100));
  CopyNfoForZip(ctx);
  EXPECT_EQ(Read(Work("demo.nfo")), TaggedLines(SauceRecord(0).substr(0, 100)));
}

TEST_F(DizNfoTest, CopyNfoOfAnOversizedFileIsLinesAlone) {
  // Past the size read whole, the file is copied line by line as it comes.
  std::string line(99, 'x');
  std::string text;
  while (text.size() <= kNfoWholeReadLimit) text += line + "\n";
  Write("d:\\rel\\big.nfo", text + "\x1A" + SauceRecord(0));
  ctx.job.NfoPath = "d:\\rel\\big.nfo";
  CopyNfoForZip(ctx);
  EXPECT_EQ(Read(Work("big.nfo")), TaggedLines(text + "\x1A" + SauceRecord(0)));
}

TEST_F(DizNfoTest, CopyNfoFailuresLeaveFilesIntact) {
  ctx.job.NfoPath = "";
  CopyNfoForZip(ctx);
  EXPECT_EQ(ctx.run.NfoCopyName, "");

  Write(Work("gone.nfo"), "earlier copy");
  ctx.job.NfoPath = "d:\\gone.nfo";
  EXPECT_THROW(CopyNfoForZip(ctx), host::HostError);
  EXPECT_EQ(Read(Work("gone.nfo")), "earlier copy");

  // Chosen some other way (a script): the NFO would be its own copy.
  ctx.job.NfoPath = Work("gone.nfo");
  EXPECT_THROW(CopyNfoForZip(ctx), host::HostError);
  EXPECT_EQ(Read(Work("gone.nfo")), "earlier copy");
}

TEST_F(DizNfoTest, AnNfoNamedLikeAProgramFileNeverTouchesTheApplicationDirectory) {
  for (const std::string name : {"wrar", "kelvo32", "Kelvo32.ini", "kvo.wav", "kelvo32.hlp"}) {
    Write("c:\\app\\" + name, "program file");
    Write("d:\\rel\\" + name, "an nfo\r\n");
    ctx.job.NfoPath = "d:\\rel\\" + name;
    CopyNfoForZip(ctx);
    EXPECT_EQ(Read("c:\\app\\" + name), "program file") << name;
    EXPECT_EQ(Read(Work(name)).substr(0, 8), "an nfo\r\n") << name;
  }
  // In the zips it would take the DIZ's place: refused when chosen, and by
  // the copy whatever chose it.
  Write("d:\\rel\\FILE_ID.DIZ", "not the diz\r\n");
  app.ui.fileAnswers = {"d:\\rel\\FILE_ID.DIZ"};
  BrowseNfo(ctx);
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"The nfo can't be named file_id.diz"});
  EXPECT_EQ(ctx.job.NfoPath, "");
  ctx.job.NfoPath = "d:\\rel\\FILE_ID.DIZ";
  EXPECT_THROW(CopyNfoForZip(ctx), host::HostError);
  EXPECT_FALSE(Exists(Work("FILE_ID.DIZ")));
}

TEST_F(DizNfoTest, CopyDizForZipCopiesBytesAndClearsReadOnly) {
  Write("d:\\file_id.diz", kArt);
  MakeReadOnly("d:\\file_id.diz");
  ctx.job.DizPath = "d:\\file_id.diz";
  CopyDizForZip(ctx);
  EXPECT_EQ(Read(Work("file_id.diz")), kArt);
  EXPECT_FALSE(host::IsReadOnly(Host(Work("file_id.diz"))));
  CopyDizForZip(ctx);  // replaces the previous zip's copy

  ctx.job.DizPath = "d:\\missing.diz";
  EXPECT_THROW(CopyDizForZip(ctx), host::HostError);
  EXPECT_EQ(Read(Work("file_id.diz")), kArt);
}

}  // namespace kelvo::texts
