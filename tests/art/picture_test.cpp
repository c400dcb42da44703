// Texts drawn by libansilove: the picture's size in cells, the VGA glyphs of
// the block and shade characters, SAUCE's width and flags, colour escapes,
// and the texts no picture is drawn for.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <sstream>
#include <string>

#include "art/picture.h"
#include "art/sauce.h"

namespace kelvo::art {

namespace {

std::string ReadSample(const char* name) {
  std::ifstream in(std::string(KELVO_SAMPLES_DIR) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

QImage Decode(const Picture& picture) {
  EXPECT_TRUE(picture.Drawn()) << picture.error;
  QImage image;
  EXPECT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(picture.png.data()),
                                 static_cast<int>(picture.png.size()), "PNG"));
  return image.convertToFormat(QImage::Format_RGB32);
}

// The lit pixels of one cell: those not in the cell's top-left colour
// unless `ink` is given.
int Lit(const QImage& image, int column, int row, QRgb ink, int glyphWidth = 8) {
  int lit = 0;
  for (int y = 0; y < kGlyphHeight; ++y)
    for (int x = 0; x < glyphWidth; ++x)
      lit += image.pixel(column * glyphWidth + x, row * kGlyphHeight + y) == ink;
  return lit;
}

const QRgb kGrey = qRgb(170, 170, 170);  // the DOS screen's text colour
const QRgb kWhite = qRgb(255, 255, 255);

// The first cell holding `byte`, as (column, row) of a plain text.
std::pair<int, int> CellOf(const std::string& text, char byte) {
  int row = 0;
  int column = 0;
  for (char c : text) {
    if (c == byte) return {column, row};
    if (c == '\n') {
      ++row;
      column = 0;
    } else if (c != '\r') {
      ++column;
    }
  }
  ADD_FAILURE() << "no such byte";
  return {0, 0};
}

// A SAUCE record of `width` columns with these flags, after its EOF byte.
std::string SauceTail(std::uint16_t width, unsigned char flags, int comments = 0,
                      unsigned char dataType = 1) {
  std::string tail = "\x1A";
  if (comments > 0) tail += "COMNT" + std::string(static_cast<std::size_t>(comments) * 64, 'c');
  std::string record = "SAUCE00" + std::string(121, ' ');
  record[94] = static_cast<char>(dataType);
  record[95] = 1;  // ANSi
  record[96] = static_cast<char>(width & 0xFF);
  record[97] = static_cast<char>(width >> 8);
  record[104] = static_cast<char>(comments);
  record[105] = static_cast<char>(flags);
  return tail + record;
}

}  // namespace

TEST(TextPicture, TheSampleNfoIsItsCellsInVgaGlyphs) {
  const std::string nfo = ReadSample("orbit.nfo");
  ASSERT_FALSE(nfo.empty());
  std::size_t lines = 0;
  std::size_t widest = 0;
  std::istringstream in(nfo);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    widest = std::max(widest, line.size());
    ++lines;
  }
  ASSERT_LE(widest, 80u);

  const QImage image = Decode(DrawText(nfo));
  EXPECT_EQ(image.width(), 80 * 8);
  EXPECT_EQ(image.height(), static_cast<int>(lines) * kGlyphHeight);

  // The full block lights its whole cell; the shades a quarter, half and
  // three quarters of it, the half in a checkerboard.
  auto [column, row] = CellOf(nfo, '\xDB');
  EXPECT_EQ(Lit(image, column, row, kGrey), 8 * 16);
  std::tie(column, row) = CellOf(nfo, '\xB0');
  EXPECT_EQ(Lit(image, column, row, kGrey), 8 * 16 / 4);
  std::tie(column, row) = CellOf(nfo, '\xB2');
  EXPECT_EQ(Lit(image, column, row, kGrey), 8 * 16 * 3 / 4);
  std::tie(column, row) = CellOf(nfo, '\xB1');
  EXPECT_EQ(Lit(image, column, row, kGrey), 8 * 16 / 2);
  for (int y = 0; y < kGlyphHeight; ++y)
    for (int x = 0; x + 1 < 8; ++x)
      EXPECT_NE(image.pixel(column * 8 + x, row * 16 + y) == kGrey,
                image.pixel(column * 8 + x + 1, row * 16 + y) == kGrey)
          << x << "," << y;
  // A blank is dark.
  std::tie(column, row) = CellOf(nfo, ' ');
  EXPECT_EQ(Lit(image, column, row, kGrey), 0);
}

TEST(TextPicture, WidthIsEightyColumnsOrTheWidestLine) {
  EXPECT_EQ(Decode(DrawText("ab\r\ncd\r\n")).size(), QSize(80 * 8, 2 * 16));
  // The widest line fills its row and the next line follows it directly,
  // with an empty line kept after it.
  const std::string wide =
      std::string(100, '\xDB') + "\r\n\xDB\r\n\r\n" + std::string(100, '\xDB') + "\n\xDB";
  const QImage image = Decode(DrawText(wide));
  EXPECT_EQ(image.size(), QSize(100 * 8, 5 * 16));
  for (int row : {0, 1, 3, 4}) EXPECT_EQ(Lit(image, 0, row, kGrey), 8 * 16) << row;
  EXPECT_EQ(Lit(image, 99, 0, kGrey), 8 * 16);
  EXPECT_EQ(Lit(image, 0, 2, kGrey), 0);
  // A shade lies on the eight columns alone.
  const QImage shade = Decode(DrawText("\xB1" + SauceTail(1, 0x04)));
  for (int y = 0; y < kGlyphHeight; ++y) EXPECT_NE(shade.pixel(8, y), kGrey) << y;
  // Escapes take no columns: 78 blocks in colour are 80 wide.
  const std::string coloured = "\x1B[1;31m" + std::string(78, '\xDB') + "\x1B[0m\r\n";
  EXPECT_EQ(LayOut(coloured).columns, 80);
  // ANSI art without SAUCE wraps at 80, as it was drawn to.
  const std::string ansi = "\x1B[0m" + std::string(160, '\xDB');
  EXPECT_EQ(Decode(DrawText(ansi)).size(), QSize(80 * 8, 2 * 16));
  // Past the widest canvas a line wraps.
  EXPECT_EQ(LayOut(std::string(kMaxColumns + 5, 'x')).columns, kMaxColumns);
}

TEST(TextPicture, SauceGivesWidthAndFlagsAndIsNotDrawn) {
  // 40 columns of 9 pixels; the record itself adds no rows.
  const std::string text = std::string(10, '\xC4') + "\r\n" + std::string(10, '\xDB');
  for (int comments : {0, 2}) {
    const std::string file = text + SauceTail(40, 0x04, comments);
    const Picture picture = DrawText(file);
    EXPECT_EQ(picture.layout.text, text);
    const QImage image = Decode(picture);
    EXPECT_EQ(image.size(), QSize(40 * 9, 2 * 16)) << comments;
    // Line-drawing and block characters run on through the ninth column.
    EXPECT_EQ(Lit(image, 0, 0, kGrey, 9), 9);
    EXPECT_EQ(Lit(image, 0, 1, kGrey, 9), 9 * 16);
  }
  // Letter spacing 8 and a record of another data type keep 8 pixels; the
  // latter gives no width.
  EXPECT_EQ(Decode(DrawText(text + SauceTail(40, 0x02))).width(), 40 * 8);
  EXPECT_EQ(Decode(DrawText(text + SauceTail(40, 0x00, 0, 5))).width(), 80 * 8);

  // iCE colours: blink turns into a bright background.
  const std::string blink = "\x1B[5;47m \x1B[0m";
  const QImage plain = Decode(DrawText(blink + SauceTail(1, 0x00)));
  const QImage ice = Decode(DrawText(blink + SauceTail(1, 0x01)));
  EXPECT_EQ(plain.pixel(0, 0), kGrey);
  EXPECT_EQ(ice.pixel(0, 0), kWhite);
}

TEST(Sauce, OnlyAWellFormedTailCounts) {
  const std::string text = "text\r\n";
  EXPECT_FALSE(FindSauce(text));
  std::string noEof = text + SauceTail(80, 0);
  noEof.erase(text.size(), 1);
  EXPECT_FALSE(FindSauce(noEof)) << "no end-of-file byte before it";
  std::string tooManyComments = text + SauceTail(80, 0);
  tooManyComments[tooManyComments.size() - 128 + 104] = 9;
  EXPECT_FALSE(FindSauce(tooManyComments));
  std::string badComment = text + SauceTail(80, 0, 1);
  badComment[text.size() + 1] = 'X';
  EXPECT_FALSE(FindSauce(badComment));
  const auto sauce = FindSauce(text + SauceTail(132, 0x05, 1));
  ASSERT_TRUE(sauce);
  EXPECT_EQ(sauce->tailStart, text.size());
  EXPECT_EQ(sauce->width, 132);
  EXPECT_TRUE(sauce->iceColours);
  EXPECT_EQ(sauce->letterSpacing, 9);
  // A text that merely ends in the mark is not cut.
  EXPECT_FALSE(FindSauce(std::string(121, 'x') + "SAUCE00"));
}

TEST(TextPicture, TextsTooLargeOrCutShortAreHandled) {
  // Empty lines or cursor jumps would ask for gigabytes: refused, nothing drawn.
  std::string moves;  // to the right edge: each byte after it wraps
  for (int i = 0; i < 100000; ++i) moves += "\x1B[99Cx";
  for (const std::string& text : {std::string(200000, '\n'), std::string("\x1B[999999B") + "x",
                                  std::string("\x1B[99999;1Hx"), moves,
                                  // No command in libansilove's window: the bytes are drawn.
                                  "\x1B[" + std::string(6'000'000, '1')}) {
    const Picture picture = DrawText(text);
    EXPECT_FALSE(picture.Drawn());
    EXPECT_TRUE(picture.png.empty());
    EXPECT_NE(picture.error.find("too large"), std::string::npos) << picture.error;
  }
  // A sequence cut by the end of the text, and an end-of-file byte inside.
  EXPECT_EQ(Decode(DrawText("ab\x1B[1;3")).height(), 16);
  EXPECT_EQ(Decode(DrawText("ab\r\ncd\x1A\r\nnot\r\ndrawn")).height(), 2 * 16);
  // An empty text is one dark row.
  const QImage empty = Decode(DrawText(""));
  EXPECT_EQ(empty.height(), 16);
  EXPECT_EQ(Lit(empty, 0, 0, kGrey), 0);
}

// The row bound that keeps pictures small is never below what libansilove
// draws, whatever the escapes do.
TEST(TextPicture, NoPictureIsTallerThanItsBound) {
  for (const std::string& text :
       {std::string("a\x1B[5Bb\x1B[2;70Hc\x1B[A\x1B[Bd"),
        std::string("\x1B[s\r\n\n\x1B[u\x1B[79Cxy"),
        std::string("\t\t\t\t\t\t\t\t\t\tx\r\n") + std::string(81, 'y'),
        std::string("\x1B[1;31m\x1B[99Cz\x1B[f\x1B[3;1fw\x1B[2Jq\x1B[40;1m\n\n"),
        std::string("\x1B[12345678901234Cx"), std::string(79, 'x') + "\x1B[1Cyz",
        // ANSI rows filled, then a line end: the row wraps before it.
        "\x1B[0m" + std::string(80, 'x') + "\r\nz", "\x1B[0m" + std::string(80, 'x') + "\x1B[m\nz",
        // A move's number after a line end, as libansilove reads it.
        std::string("\x1B[\n3Hx"), std::string("\x1B[ +2Bx"),
        // An escape inside another's window, with a line end in it.
        std::string("\x1B[\x1B[\r\x01\0\0\0\xA6\0\0\0\x01"
                    "2\nt",
                    17),
        // A lone ESC in the widest line, which then fills its row.
        std::string(100, 'x') + "\x1B_" + std::string(10, 'y') + "\r\nz\r\n" +
            std::string(110, 'w')}) {
    const Picture picture = DrawText(text);
    const QImage image = Decode(picture);
    EXPECT_EQ(image.width(), picture.layout.columns * picture.layout.glyphWidth);
    EXPECT_LE(static_cast<std::uint64_t>(image.height()), picture.layout.rowBound * kGlyphHeight)
        << ::testing::PrintToString(text);
  }
}

// A lone ESC takes no cell, and the end-of-file byte ends the text: a line
// that fills the width with one still keeps the rows of the text.
TEST(TextPicture, ALoneEscapeAndTheEndOfFileByte) {
  const std::string text = std::string(50, 'x') + "\x1B" + std::string(50, 'y') + "\r\n" +
                           std::string(100, 'z') +
                           "\r\nlast\x1A"
                           "after\r\nmore\r\n";
  const Picture picture = DrawText(text);
  EXPECT_EQ(picture.layout.columns, 100);
  EXPECT_EQ(Decode(picture).size(), QSize(100 * 8, 3 * 16));
}

TEST(GlyphSheet, EveryByteInItsCellAndTheControlsBlank) {
  const QImage sheet = Decode(Picture{GlyphSheet(), {}, {}});
  ASSERT_EQ(sheet.size(), QSize(256 * kGlyphWidth, kGlyphHeight));
  EXPECT_EQ(Lit(sheet, 0xDB, 0, kGrey), 8 * 16);
  EXPECT_EQ(Lit(sheet, 0xDC, 0, kGrey), 8 * 9) << "the VGA lower half starts at row 7";
  EXPECT_EQ(Lit(sheet, 0xB1, 0, kGrey), 8 * 16 / 2);
  EXPECT_EQ(Lit(sheet, ' ', 0, kGrey), 0);
  EXPECT_GT(Lit(sheet, 0x01, 0, kGrey), 0) << "a smiley, not a control";
  for (unsigned char control : {'\t', '\n', '\r', '\x1A', '\x1B'}) {
    EXPECT_TRUE(IsLayoutControl(control));
    EXPECT_EQ(Lit(sheet, control, 0, kGrey), 0) << int{control};
  }
}

}  // namespace kelvo::art
