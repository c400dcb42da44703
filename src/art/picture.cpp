#include "art/picture.h"

#include <ansilove.h>
#include <sys/mman.h>

#include <algorithm>
#include <vector>

#include "art/sauce.h"

namespace kelvo::art {

namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr int kTabColumns = 8;

constexpr std::size_t kSequenceWindow = 14;

struct Extent {
  std::uint64_t widest = 0;
  bool escapes = false;
};

// The leading decimal number of a sequence's parameters, read as
// libansilove reads it (atoi: blanks and line ends first, then a sign); 1
// when there is none or it is not positive, as for the cursor moves.
std::uint64_t FirstNumber(std::string_view params) {
  const std::size_t start = params.find_first_not_of(" \t\n\v\f\r");
  params.remove_prefix(start == std::string_view::npos ? params.size() : start);
  if (params.starts_with('-')) return 1;
  if (params.starts_with('+')) params.remove_prefix(1);
  std::uint64_t value = 0;
  bool any = false;
  for (char c : params) {
    if (c < '0' || c > '9') break;
    value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), 1u << 30);
    any = true;
  }
  return any && value > 0 ? value : 1;
}

// The sequence libansilove takes at `at` (just past "ESC ["): up to the
// first of its commands within its 14-byte window; npos for none, when it
// draws the bytes instead.
std::size_t SequenceEnd(std::string_view text, std::size_t at) {
  constexpr std::string_view kCommands = "HfABCDsuJmphlKt";
  for (std::size_t end = at; end < text.size() && end < at + kSequenceWindow; ++end)
    if (kCommands.find(text[end]) != std::string_view::npos) return end;
  return std::string_view::npos;
}

// Walks the text as libansilove does for its width: LF ends a line, CR is
// nothing, TAB moves 8 columns, the end-of-file byte ends the text, and a
// sequence it knows takes no column.
Extent Measure(std::string_view text, std::uint64_t columns) {
  Extent extent;
  std::uint64_t column = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == kEndOfFile) break;
    if (byte == '\n') {
      column = 0;
    } else if (byte == '\r') {
      continue;
    } else if (byte == kEscape) {
      const std::size_t end = i + 1 < text.size() && text[i + 1] == '[' ? SequenceEnd(text, i + 2)
                                                                        : std::string_view::npos;
      if (end == std::string_view::npos) continue;  // the ESC alone is dropped
      extent.escapes = true;
      // Moved to the right edge, the next byte wraps.
      if (text[end] == 'C')
        column = std::min(column + FirstNumber(text.substr(i + 2, end - i - 2)), columns);
      i = end;
    } else {
      if (column >= columns) column = 0;
      column += byte == '\t' ? kTabColumns : 1;
      extent.widest = std::max(extent.widest, column);
    }
  }
  return extent;
}

// An upper bound on the rows libansilove draws, however it reads the
// escapes (its parser has corners no walk here can follow): every line end
// may come right after a wrap, every column may wrap, and every number that
// could end a move down or a placement in any window may be one.
std::uint64_t RowBound(std::string_view text, std::uint64_t columns) {
  std::uint64_t rows = 1;
  std::uint64_t advance = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      rows += 2;
      continue;
    }
    advance += byte == '\t' ? kTabColumns : 1;
    if (byte != kEscape || i + 1 >= text.size() || text[i + 1] != '[') continue;
    for (std::size_t end = i + 2; end < text.size() && end < i + 2 + kSequenceWindow; ++end) {
      const char command = text[end];
      if (command != 'B' && command != 'H' && command != 'f' && command != 'C') continue;
      const std::uint64_t number = FirstNumber(text.substr(i + 2, end - i - 2));
      if (command == 'C')
        advance += std::min(number, columns);
      else
        rows += number;
    }
  }
  return rows + advance / columns;
}

// The bytes as libansilove is given them. It wraps at the canvas width
// before it looks at a line end, so a plain text's line that fills the width
// would be followed by an empty row: that line end is left to the wrap.
// ANSI art keeps the screen's behaviour, and an empty text is one blank row
// (libansilove refuses no bytes at all).
std::vector<std::uint8_t> ForAnsilove(const Layout& layout) {
  if (layout.text.empty()) return {' '};
  if (layout.lineEndsKept) return {layout.text.begin(), layout.text.end()};
  std::vector<std::uint8_t> bytes;
  bytes.reserve(layout.text.size());
  const auto columns = static_cast<std::uint64_t>(layout.columns);
  std::uint64_t column = 0;
  for (const char c : layout.text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\r' || byte == '\n') {
      const bool full = column == columns;
      if (byte == '\n') column = 0;
      if (full) continue;
    } else if (byte != kEscape) {  // a lone ESC takes no column, as in Measure
      if (column >= columns) column = 0;
      column += byte == '\t' ? kTabColumns : 1;
    }
    bytes.push_back(byte);
  }
  return bytes;
}

}  // namespace

Layout LayOut(std::string_view bytes) {
  Layout layout;
  layout.text = bytes;
  const std::optional<Sauce> sauce = FindSauce(bytes);
  if (sauce) {
    layout.text = bytes.substr(0, sauce->tailStart);
    layout.iceColours = sauce->iceColours;
    if (sauce->letterSpacing == 9) layout.glyphWidth = 9;
  }
  // DOS ends a text at its end-of-file byte, and so does every viewer;
  // libansilove would draw on past it.
  layout.text = layout.text.substr(0, layout.text.find(static_cast<char>(kEndOfFile)));
  const Extent extent = Measure(layout.text, kMaxColumns);
  std::uint64_t columns = kScreenColumns;
  if (sauce && sauce->width > 0)
    columns = sauce->width;
  else if (!extent.escapes)
    columns = std::max<std::uint64_t>(columns, extent.widest);
  layout.lineEndsKept = extent.escapes || (sauce && sauce->width > 0);
  layout.columns = static_cast<int>(std::min<std::uint64_t>(columns, kMaxColumns));
  layout.rowBound = RowBound(layout.text, static_cast<std::uint64_t>(layout.columns));
  return layout;
}

Picture DrawText(std::string_view bytes) {
  Picture picture;
  picture.layout = LayOut(bytes);
  const Layout& layout = picture.layout;
  const std::uint64_t pixels = static_cast<std::uint64_t>(layout.columns) *
                               static_cast<std::uint64_t>(layout.glyphWidth) * layout.rowBound *
                               kGlyphHeight;
  if (pixels > kMaxPixels) {
    picture.error = "The text is too large for a picture (" + std::to_string(layout.rowBound) +
                    " lines of " + std::to_string(layout.columns) + " columns)";
    return picture;
  }

  std::vector<std::uint8_t> buffer = ForAnsilove(layout);
  const std::size_t length = buffer.size();
  // libansilove reads a few bytes past an escape sequence cut by the end of
  // the text: they are given, as zeros.
  buffer.resize(length + 16, 0);

  ansilove_ctx ctx;
  ansilove_options options;
  if (ansilove_init(&ctx, &options) != 0) {
    picture.error = "The picture can't be drawn: libansilove did not start";
    return picture;
  }
  ctx.buffer = buffer.data();
  ctx.length = length;
  options.font = ANSILOVE_FONT_CP437;
  options.bits = static_cast<std::uint8_t>(layout.glyphWidth);
  options.columns = static_cast<std::int16_t>(layout.columns);
  options.icecolors = layout.iceColours;
  const int drawn = ansilove_ansi(&ctx, &options);
  if (drawn == 0 && ctx.png.buffer && ctx.png.length > 0)
    picture.png.assign(reinterpret_cast<const char*>(ctx.png.buffer),
                       static_cast<std::size_t>(ctx.png.length));
  else
    picture.error = std::string("The picture can't be drawn: ") + ansilove_error(&ctx);
  // The buffer is ours, not a mapping for ansilove_clean to unmap.
  ctx.buffer = static_cast<std::uint8_t*>(MAP_FAILED);
  ansilove_clean(&ctx);
  return picture;
}

bool IsLayoutControl(unsigned char byte) {
  return byte == '\t' || byte == '\n' || byte == '\r' || byte == kEndOfFile || byte == kEscape;
}

std::string GlyphSheet() {
  std::string bytes(256, ' ');
  for (int byte = 0; byte < 256; ++byte)
    if (!IsLayoutControl(static_cast<unsigned char>(byte))) bytes[byte] = static_cast<char>(byte);
  return DrawText(bytes).png;
}

}  // namespace kelvo::art
