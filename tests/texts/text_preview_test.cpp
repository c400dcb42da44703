#include "texts/text_preview.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <tuple>

#include "host/text_file.h"
#include "texts/cp437.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"
#include "texts/text_files.h"
#include "texts/texts_fixture.h"

namespace kelvo::texts {

namespace {
const std::string kDiz = "d:\\rel\\file_id.diz";
const std::string kNfo = "d:\\rel\\demo.nfo";
const std::string kCheckFile = "c:\\~kelvo.diz";
const std::string kWorkCopy = testing::WorkCopyPath("c:\\app", "file_id.diz");

std::vector<std::string> Lines(const TextPreview& preview) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < preview.LineCount(); ++i) lines.emplace_back(preview.Line(i));
  return lines;
}
}  // namespace

class TextPreviewTest : public TextsTest {
 protected:
  void Diz(const std::string& bytes, const std::string& column, const std::string& line) {
    Write(kDiz, bytes);
    ctx.job.DizPath = kDiz;
    ctx.job.DizNumbering = true;
    ctx.job.DizColumn = column;
    ctx.job.DizLine = line;
  }
  // An estimate of exactly `count` volumes of 1,000,000 bytes, rounded up.
  void Volumes(int count) {
    ctx.job.ArchiveSize = 2;
    ctx.job.SourceSize = static_cast<float>(count) - 0.5f;
  }
  // What StampDiz writes for zip `number` of `count`, as lines.
  std::vector<std::string> Stamped(int number, int count) {
    ctx.run.VolumeNumber = static_cast<std::int16_t>(number);
    ctx.run.VolumeCount = static_cast<std::int16_t>(count);
    StampDiz(ctx);
    return host::SplitLines(Read(kWorkCopy));
  }
};

// The preview and a run's copy stamp through one rule: for every position
// that fits, the previewed lines are the lines StampDiz writes, and the sample
// is what the check writes for the editor.
TEST_F(TextPreviewTest, StampIsWhereStampDizAndTheCheckWriteIt) {
  const std::string art = "\xC9\xCD\xCD\xBB\xB0\xB1\xB2\xDB";
  const std::string diz =
      art + "\r\n\tDisk [     ] of the set\r\nwide " + std::string(60, '\xDC') + "\r\nno end here";
  struct Case {
    const char* column;
    const char* line;
    int zip, count;
    bool three;
  };
  for (const Case& c : {Case{"8", "2", 3, 12, false}, Case{"1", "1", 1, 2, false},
                        Case{"2", "1", 7, 120, true}, Case{"59", "3", 100, 101, false},
                        Case{"1", "4", 9, 9, false}, Case{" 9x", "2", 4, 5, true}}) {
    SCOPED_TRACE(std::string(c.line) + ":" + c.column);
    Diz(diz, c.column, c.line);
    ctx.job.ThreeDigitNumbering = c.three;
    Volumes(c.count);
    SetDizPreviewZip(ctx, c.zip);
    TextPreview preview = DizPreview(ctx);
    ASSERT_TRUE(preview.stamp);
    const std::string stamp = DizStamp(c.zip, c.count, c.three);
    EXPECT_EQ(preview.stamp->line + 1, BoxNumber(c.line));
    EXPECT_EQ(preview.stamp->column + 1, BoxNumber(c.column));
    EXPECT_EQ(preview.stamp->length, stamp.size());
    EXPECT_EQ(preview.Line(preview.stamp->line).substr(preview.stamp->column, stamp.size()), stamp);
    EXPECT_EQ(Lines(preview), Stamped(c.zip, c.count));
    EXPECT_EQ(preview.note, "Stamp " + stamp + " at line " + c.line + ", column " +
                                std::to_string(BoxNumber(c.column)));

    SetDizPreviewZip(ctx, 0);
    preview = DizPreview(ctx);
    RecordEditor();
    TestDizNumbering(ctx);
    ASSERT_TRUE(ctx.run.DizCheckPassed);
    EXPECT_EQ(Lines(preview), host::SplitLines(Read(kCheckFile)));
    EXPECT_EQ(
        preview.Line(preview.stamp->line).substr(preview.stamp->column, preview.stamp->length),
        SampleStamp(c.three));
  }
}

TEST_F(TextPreviewTest, PositionsThatDoNotFitShowTheChecksReasonInPlace) {
  Diz("one\r\n0123456789abcde\r\nthree\r\n", "10", "2");  // 15 bytes: 10 + 6 > 15
  TextPreview preview = DizPreview(ctx);
  EXPECT_FALSE(preview.stamp);
  EXPECT_EQ(preview.reason, kColumnTooHigh);
  ASSERT_TRUE(preview.reasonAt);
  EXPECT_EQ(preview.reasonAt->line, 1u);
  EXPECT_EQ(preview.reasonAt->column, 9u);
  EXPECT_EQ(Lines(preview), (std::vector<std::string>{"one", "0123456789abcde", "three"}));
  ctx.job.DizColumn = "400";  // far past the end: the reason follows the line
  EXPECT_EQ(DizPreview(ctx).reasonAt->column, 15u);
  TestDizNumbering(ctx);
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{kColumnTooHigh});
  app.ui.messages.clear();

  ctx.job.DizColumn = "1";
  ctx.job.DizLine = "4";
  preview = DizPreview(ctx);
  EXPECT_EQ(preview.reason, kLineTooHigh);
  EXPECT_EQ(preview.reasonAt->line, 3u);  // just below the last line
  EXPECT_EQ(preview.reasonAt->column, 0u);
  EXPECT_TRUE(preview.problem.empty());  // the DIZ stays, to pick a line from
  EXPECT_EQ(Lines(preview), (std::vector<std::string>{"one", "0123456789abcde", "three"}));
  TestDizNumbering(ctx);
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{kLineTooHigh});
  app.ui.messages.clear();

  // Boxes the check refuses unread: the reason has no place, only the note.
  for (auto [column, line, box] :
       {std::tuple{"", "0", FocusBox::DizColumn}, std::tuple{"0", "", FocusBox::DizLine},
        std::tuple{"0", "1", FocusBox::DizColumn}}) {
    ctx.job.DizColumn = column;
    ctx.job.DizLine = line;
    preview = DizPreview(ctx);
    EXPECT_FALSE(preview.stamp);
    EXPECT_FALSE(preview.reasonAt);
    EXPECT_EQ(preview.note, NumberingBoxProblem(box));
  }
}

TEST_F(TextPreviewTest, NoStampWithoutNumberingAndNoTextWithoutADiz) {
  Diz("0123456789abcdef\r\n", "1", "1");
  ctx.job.DizNumbering = false;
  TextPreview preview = DizPreview(ctx);
  EXPECT_EQ(Lines(preview), std::vector<std::string>{"0123456789abcdef"});
  EXPECT_FALSE(preview.stamp);
  EXPECT_TRUE(preview.reason.empty());

  ctx.job.DizNumbering = true;
  ctx.job.DizPath.clear();
  preview = DizPreview(ctx);
  EXPECT_EQ(preview.problem, "No file_id.diz chosen");
  EXPECT_EQ(preview.LineCount(), 0u);

  // Unreadable: said in place; nothing is written and the check's flag stays.
  for (const std::string& path : {std::string("d:\\rel\\missing.diz"), std::string("d:\\rel"),
                                  std::string("q:\\unmapped.diz")}) {
    ctx.job.DizPath = path;
    for (bool passed : {false, true}) {
      ctx.run.DizCheckPassed = passed;
      preview = DizPreview(ctx);
      EXPECT_FALSE(preview.problem.empty()) << path;
      EXPECT_EQ(preview.LineCount(), 0u);
      EXPECT_EQ(ctx.run.DizCheckPassed, passed);
    }
  }
  EXPECT_FALSE(Exists(kCheckFile));
  EXPECT_FALSE(Exists(kWorkCopy));
}

// The file is read when its path or the file changes, not on every render.
TEST_F(TextPreviewTest, TextIsReadAgainOnlyWhenItsFileChanges) {
  Diz("first\r\n", "1", "1");
  ctx.job.DizNumbering = false;
  EXPECT_EQ(Lines(DizPreview(ctx)), std::vector<std::string>{"first"});
  struct stat before;
  ASSERT_EQ(::stat(Host(kDiz).c_str(), &before), 0);
  // Same length and time: the snapshot stands, though the bytes differ.
  Write(kDiz, "FIRST\r\n");
  timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, Host(kDiz).c_str(), times, 0), 0);
  EXPECT_EQ(Lines(DizPreview(ctx)), std::vector<std::string>{"first"});
  // A save by the editor changes the time: read again.
  times[1].tv_sec += 5;
  ASSERT_EQ(::utimensat(AT_FDCWD, Host(kDiz).c_str(), times, 0), 0);
  EXPECT_EQ(Lines(DizPreview(ctx)), std::vector<std::string>{"FIRST"});
  // Another path is read at once, and a file that appears is read then.
  Write("d:\\rel\\other.diz", "other\r\n");
  ctx.job.DizPath = "d:\\rel\\other.diz";
  EXPECT_EQ(Lines(DizPreview(ctx)), std::vector<std::string>{"other"});
  ctx.job.DizPath = "d:\\rel\\later.diz";
  EXPECT_FALSE(DizPreview(ctx).problem.empty());
  Write("d:\\rel\\later.diz", "later");
  EXPECT_EQ(Lines(DizPreview(ctx)), std::vector<std::string>{"later"});
}

TEST_F(TextPreviewTest, ClickFillsTheBoxesWithinTheDiz) {
  Diz("narrow\r\n" + std::string(80, '\xB1') + "\r\n", "", "");
  PickDizPosition(ctx, 2, 75);
  EXPECT_EQ(ctx.job.DizLine, "2");
  EXPECT_EQ(ctx.job.DizColumn, "75");
  PickDizPosition(ctx, 1, 30);  // past the end of a narrow line: taken as clicked
  EXPECT_EQ(ctx.job.DizLine, "1");
  EXPECT_EQ(ctx.job.DizColumn, "30");
  EXPECT_EQ(DizPreview(ctx).reason, kColumnTooHigh);
  PickDizPosition(ctx, 3, 2);  // below the last line
  EXPECT_EQ(ctx.job.DizLine, "1");
  EXPECT_EQ(ctx.job.DizColumn, "30");
  ctx.job.DizNumbering = false;  // the boxes are closed
  PickDizPosition(ctx, 2, 1);
  EXPECT_EQ(ctx.job.DizLine, "1");
  ctx.job.DizNumbering = true;
  ctx.job.DizPath = "d:\\rel\\missing.diz";
  PickDizPosition(ctx, 1, 1);
  EXPECT_EQ(ctx.job.DizColumn, "30");
}

TEST_F(TextPreviewTest, ChosenZipIsStampedOfTheEstimate) {
  Diz("Disk [       ]\r\n", "7", "1");  // the room of seven
  SetDizPreviewZip(ctx, 3);
  EXPECT_EQ(DizPreviewTotal(ctx), 3);  // nothing measured: the zip itself
  Volumes(12);
  EXPECT_EQ(DizPreviewTotal(ctx), 12);
  EXPECT_EQ(DizPreview(ctx).Line(0), "Disk [03/12  ]");
  SetDizPreviewZip(ctx, 20);
  EXPECT_EQ(DizPreview(ctx).Line(0), "Disk [20/20  ]");
  SetDizPreviewZip(ctx, -4);
  EXPECT_EQ(DizPreview(ctx).Line(0), "Disk [01/99  ]");
}

// The NFO preview is the copy every zip gets: compared with CopyNfoForZip's
// file, the closing lines marked as added.
TEST_F(TextPreviewTest, NfoPreviewIsTheCopyWithItsTagLine) {
  std::string record = "SAUCE00" + std::string(121, ' ');
  record[104] = '\0';  // no comment lines
  const std::string sauce = "\x1A" + record;
  for (const std::string& nfo :
       {std::string("\xC9\xCD\xBB\r\n\xBA hi \xBA\r\n\xC8\xCD\xBC"),
        "text\r\n" + NfoTagLine() + " 2.0\r\nold tail\r\nmore\r\n", "art\r\n" + sauce}) {
    Write(kNfo, nfo);
    ctx.job.NfoPath = kNfo;
    TextPreview preview = NfoPreview(ctx);
    CopyNfoForZip(ctx);
    std::string copy = Read(Work("demo.nfo"));
    if (copy.ends_with(sauce)) copy.resize(copy.size() - sauce.size());
    EXPECT_EQ(Lines(preview), host::SplitLines(copy));
    const bool tagged = nfo.find(NfoTagLine()) != std::string::npos;
    const std::size_t count = preview.LineCount();
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(preview.Added(i), !tagged && i + 2 >= count);
    EXPECT_FALSE(preview.note.empty());
  }
  EXPECT_EQ(NfoPreview(ctx).note,
            "The marked lines close the copy in every zip; its SAUCE record stays at the end");
  Write(kNfo, "text\r\n" + NfoTagLine() + "\r\nold tail\r\nmore\r\n");
  ::utimensat(AT_FDCWD, Host(kNfo).c_str(), nullptr, 0);
  EXPECT_EQ(NfoPreview(ctx).note,
            "The copy ends at the nfo's own tag line; the 2 lines after it are left out");

  ctx.job.NfoPath.clear();
  EXPECT_EQ(NfoPreview(ctx).problem, "No nfo chosen");
}

TEST_F(TextPreviewTest, LargeNfoIsPreviewedBigOneIsRefused) {
  std::string big;
  while (big.size() < 600'000) big += std::string(79, '\xB2') + "\r\n";
  Write(kNfo, big);
  ctx.job.NfoPath = kNfo;
  TextPreview preview = NfoPreview(ctx);
  EXPECT_TRUE(preview.problem.empty());
  EXPECT_EQ(preview.LineCount(), big.size() / 81 + 2);
  EXPECT_EQ(preview.Widest(), 79u);
  Write(kNfo, std::string(kPreviewLimit + 1, 'x'));
  EXPECT_NE(NfoPreview(ctx).problem.find("too large"), std::string::npos);
}

TEST(Cp437, EveryByteHasItsOwnGlyphAndComesBack) {
  std::set<char16_t> glyphs;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    glyphs.insert(Cp437Glyph(byte));
    EXPECT_EQ(Cp437Byte(Cp437Glyph(byte)), byte) << b;
  }
  EXPECT_EQ(glyphs.size(), 256u);
  for (int b = 0x20; b < 0x7F; ++b) EXPECT_EQ(Cp437Glyph(static_cast<unsigned char>(b)), b);
  EXPECT_EQ(Cp437Glyph(0xB0), u'\u2591');  // light shade
  EXPECT_EQ(Cp437Glyph(0xC9), u'\u2554');  // double down and right
  EXPECT_EQ(Cp437Glyph(0xDB), u'\u2588');  // full block
  EXPECT_EQ(Cp437Glyph(0xDF), u'\u2580');  // upper half
  EXPECT_EQ(Cp437Glyph(0x82), u'\u00E9');
  EXPECT_FALSE(Cp437Byte(u'\u20AC'));  // the euro sign is no CP437 glyph
}

}  // namespace kelvo::texts
