#include "texts/diz_numbering.h"

#include "host/host_error.h"
#include "texts/texts_fixture.h"

namespace kelvo::texts {

namespace {
const std::string kPreview = "c:\\~kelvo.diz";
const std::string kWorkCopy = testing::WorkCopyPath("c:\\app", "file_id.diz");
}  // namespace

class DizNumberingTest : public TextsTest {
 protected:
  // A DIZ on d: with numbering on at the given position.
  void Diz(const std::string& bytes, const std::string& column, const std::string& line) {
    Write("d:\\rel\\file_id.diz", bytes);
    ctx.job.DizPath = "d:\\rel\\file_id.diz";
    ctx.job.DizNumbering = true;
    ctx.job.DizColumn = column;
    ctx.job.DizLine = line;
  }
  // Runs the check from a fresh view and reports where it left the user.
  bool Check() {
    ctx.view.VisiblePanel = Panel::Source;
    ctx.view.Focus = FocusBox::None;
    ctx.run.DizCheckPassed = !ctx.run.DizCheckPassed;  // the check must set it either way
    if (auto refusal = CheckDizNumbering(ctx)) Present(ctx, *refusal);
    return ctx.run.DizCheckPassed;
  }
  void ExpectRefused(FocusBox box, std::vector<std::string> messages) {
    EXPECT_FALSE(ctx.run.DizCheckPassed);
    EXPECT_EQ(ctx.view.VisiblePanel, Panel::Diz);
    EXPECT_EQ(ctx.view.Focus, box);
    EXPECT_EQ(app.ui.MessageTexts(), messages);
    for (const auto& m : app.ui.messages) {
      EXPECT_EQ(m.title, "Kelvo32 error");
      EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
    app.ui.messages.clear();
  }
  void Stamp(int number, int count) {
    ctx.run.VolumeNumber = static_cast<std::int16_t>(number);
    ctx.run.VolumeCount = static_cast<std::int16_t>(count);
    StampDiz(ctx);
  }
};

TEST_F(DizNumberingTest, ModeSwitchesBoxColoursAndTest) {
  EXPECT_EQ(ctx.view.DizBoxColour, BoxColour::ButtonFace);
  EXPECT_FALSE(ctx.view.DizTestEnabled);
  SetDizNumberingMode(ctx, true);
  EXPECT_TRUE(ctx.job.DizNumbering);
  EXPECT_EQ(ctx.view.DizBoxColour, BoxColour::Window);
  EXPECT_TRUE(ctx.view.DizTestEnabled);
  SetDizNumberingMode(ctx, false);
  EXPECT_FALSE(ctx.job.DizNumbering);
  EXPECT_EQ(ctx.view.DizBoxColour, BoxColour::ButtonFace);
  EXPECT_FALSE(ctx.view.DizTestEnabled);
}

TEST_F(DizNumberingTest, StampWidths) {
  EXPECT_EQ(DizStamp(5, 9, false), "05/09");
  EXPECT_EQ(DizStamp(5, 120, true), "005/120");
  // Three digits are the set's numbering, whatever its total.
  EXPECT_EQ(DizStamp(5, 42, true), "005/042");
  EXPECT_EQ(DizStamp(1, 1, true), "001/001");
  EXPECT_EQ(DizStamp(100, 101, false), "100/101");
  EXPECT_EQ(DizStamp(3, 12, false), "03/12");
}

TEST_F(DizNumberingTest, NothingWithoutADizOrWithNumberingOff) {
  Diz("0123456789abcdef\r\n", "", "");
  ctx.job.DizNumbering = false;
  ctx.run.DizCheckPassed = true;
  CheckDizNumbering(ctx);
  ctx.job.DizNumbering = true;
  ctx.job.DizPath.clear();
  CheckDizNumbering(ctx);
  EXPECT_TRUE(ctx.run.DizCheckPassed);
  EXPECT_EQ(ctx.view.VisiblePanel, Panel::Source);
  EXPECT_FALSE(Exists(kPreview));
}

TEST_F(DizNumberingTest, EmptyBoxesComeBeforeZeroes) {
  Diz("0123456789abcdef\r\n", "0", "");
  Check();
  ExpectRefused(FocusBox::DizLine, {});
  Diz("0123456789abcdef\r\n", "", "0");
  Check();
  ExpectRefused(FocusBox::DizColumn, {});
  // Anything below 1 counts as "0": "00", letters, a sign.
  for (const char* zero : {"00", "abc", "-3", " "}) {
    Diz("0123456789abcdef\r\n", zero, "1");
    Check();
    ExpectRefused(FocusBox::DizColumn, {});
    Diz("0123456789abcdef\r\n", "1", zero);
    Check();
    ExpectRefused(FocusBox::DizLine, {});
  }
  EXPECT_FALSE(Exists(kPreview));
}

TEST_F(DizNumberingTest, ColumnNeedsSevenCharactersInBothWidths) {
  Diz("first\r\n0123456789abcdef\r\n", "10", "2");  // 16 characters: 10 + 6 = 16
  EXPECT_TRUE(Check());
  EXPECT_EQ(ctx.view.VisiblePanel, Panel::Source);
  EXPECT_FALSE(Exists(kPreview));  // deleted after a passing check

  Diz("first\r\n0123456789abcde\r\nlast\r\n", "10", "2");  // 15 characters
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizColumn, {"Column number too high"});
  EXPECT_EQ(Read(kPreview), "first\r\n");  // left as it was when the check stopped

  ctx.job.ThreeDigitNumbering = true;
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizColumn, {"Column number too high"});
  ctx.job.DizColumn = "9";
  EXPECT_TRUE(Check());
  ctx.job.DizColumn = "12abc";  // leading digits count
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizColumn, {"Column number too high"});
}

TEST_F(DizNumberingTest, LineIsTestedAfterTheWholeDiz) {
  std::string eleven;
  for (int i = 1; i <= 11; ++i) eleven += "line number " + std::to_string(i) + "\r\n";
  Diz(eleven, "1", "12");
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizLine, {"Line number too high"});
  EXPECT_EQ(Read(kPreview), eleven);

  Diz("", "1", "1");  // no lines at all
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizLine, {"Line number too high"});
}

TEST_F(DizNumberingTest, HugeNumbersAreRefusedNotOverflowed) {
  Diz("0123456789abcdef\r\n", "18446744073709551617", "1");
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizColumn, {"Column number too high"});
  Diz("0123456789abcdef\r\n", "1", "99999999999999999999999999");
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizLine, {"Line number too high"});
  ctx.run.VolumeNumber = 1;
  ctx.run.VolumeCount = 2;
  StampDiz(ctx);  // the line is never reached
  EXPECT_EQ(Read(kWorkCopy), "0123456789abcdef\r\n");
}

TEST_F(DizNumberingTest, BatchModeRefusesWithoutMessages) {
  ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  Diz("short\r\n", "1", "1");
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizColumn, {});
  Diz("0123456789\r\n", "1", "2");
  EXPECT_FALSE(Check());
  ExpectRefused(FocusBox::DizLine, {});
  EXPECT_EQ(app.ui.reports,
            (std::vector<std::string>{"Column number too high", "Line number too high"}));
}

TEST_F(DizNumberingTest, TestShowsThePreviewAndLeavesItToTheEditor) {
  RecordEditor();
  Diz("\xC9\xCD title \xCD\xBB\r\nDisk xx/xx of set\xB0\r\nno end", "6", "2");
  TestDizNumbering(ctx);
  EXPECT_TRUE(ctx.run.DizCheckPassed);
  EXPECT_FALSE(ctx.run.DizTestMode);
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_EQ(EditorArgs(), std::vector<std::string>{kPreview});
  // Still there once the editor has started, whatever its speed.
  EXPECT_EQ(Read(kPreview), "\xC9\xCD title \xCD\xBB\r\nDisk 01/99 of set\xB0\r\nno end\r\n");

  // A later check outside test mode clears it; so does shutdown.
  EXPECT_TRUE(Check());
  EXPECT_FALSE(Exists(kPreview));
  TestDizNumbering(ctx);
  EXPECT_TRUE(Exists(kPreview));
  RemoveDizPreview(ctx);
  EXPECT_FALSE(Exists(kPreview));
  RemoveDizPreview(ctx);  // nothing left: no error
}

TEST_F(DizNumberingTest, UnreadableDizIsToldInTestAndThrownInARun) {
  Diz("0123456789\r\n", "1", "1");
  ctx.job.DizPath = "d:\\rel\\missing.diz";
  TestDizNumbering(ctx);
  EXPECT_FALSE(ctx.run.DizCheckPassed);
  EXPECT_FALSE(ctx.run.DizTestMode);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_TRUE(app.ui.messages[0].text.starts_with("The numbering can't be tested\r"));
  EXPECT_NE(app.ui.messages[0].text.find("missing.diz"), std::string::npos);
  app.ui.messages.clear();

  ctx.run.DizCheckPassed = true;
  EXPECT_THROW(CheckDizNumbering(ctx), host::HostError);
  EXPECT_FALSE(ctx.run.DizCheckPassed);
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(DizNumberingTest, PreviewThatCannotBeWrittenIsTold) {
  Write(kPreview, "left by someone");
  MakeReadOnly(kPreview);
  Diz("0123456789\r\n", "1", "1");
  TestDizNumbering(ctx);
  EXPECT_FALSE(ctx.run.DizCheckPassed);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_NE(app.ui.messages[0].text.find("~kelvo.diz"), std::string::npos);

  // A DIZ that is the preview file itself is never truncated under the check.
  ::chmod(Host(kPreview).c_str(), 0644);
  ctx.job.DizPath = kPreview;
  EXPECT_THROW(CheckDizNumbering(ctx), host::HostError);
  EXPECT_EQ(Read(kPreview), "left by someone");
}

TEST_F(DizNumberingTest, StampOverwritesInPlaceKeepingTheLength) {
  const std::string art = "\xDA\xC4\xC4\xBF\xB3\x82";
  Diz(art + "\r\nDisk xx/xx of the set\r\n" + art, "6", "2");  // 21 characters
  EXPECT_TRUE(Check());
  Stamp(3, 12);
  EXPECT_EQ(Read(kWorkCopy), art + "\r\nDisk 03/12 of the set\r\n" + art + "\r\n");

  ctx.job.ThreeDigitNumbering = true;
  Stamp(7, 120);
  EXPECT_EQ(Read(kWorkCopy), art + "\r\nDisk 007/120f the set\r\n" + art + "\r\n");
  Stamp(5, 42);
  EXPECT_EQ(Read(kWorkCopy), art + "\r\nDisk 005/042f the set\r\n" + art + "\r\n");

  ctx.job.ThreeDigitNumbering = false;
  Stamp(100, 101);
  EXPECT_EQ(Read(kWorkCopy), art + "\r\nDisk 100/101f the set\r\n" + art + "\r\n");
}

TEST_F(DizNumberingTest, StampAppendsToAShortLineAndSkipsAMissingLine) {
  Diz("one\r\nDisk\r\nthree", "6", "2");
  Stamp(5, 9);
  EXPECT_EQ(Read(kWorkCopy), "one\r\nDisk05/09\r\nthree\r\n");
  ctx.job.DizLine = "4";
  Stamp(5, 9);
  EXPECT_EQ(Read(kWorkCopy), "one\r\nDisk\r\nthree\r\n");
}

TEST_F(DizNumberingTest, StampFailuresLeaveFilesIntact) {
  Diz("Disk xx/xx\r\n", "6", "1");
  Write(kWorkCopy, "previous zip");
  ctx.job.DizPath = "d:\\rel\\missing.diz";
  EXPECT_THROW(Stamp(1, 2), host::HostError);
  EXPECT_EQ(Read(kWorkCopy), "previous zip");
  ctx.job.DizPath = kWorkCopy;
  EXPECT_THROW(Stamp(1, 2), host::HostError);
  EXPECT_EQ(Read(kWorkCopy), "previous zip");
}

}  // namespace kelvo::texts
