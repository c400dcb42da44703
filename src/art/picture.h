// A release text drawn as the scene's viewers draw it: each byte a CP437
// cell of the VGA font (8x16, or 9x16 where SAUCE asks for 9-pixel letter
// spacing), ANSI colour escapes honoured, drawn by libansilove into a PNG.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo::art {

inline constexpr int kGlyphWidth = 8;
inline constexpr int kGlyphHeight = 16;
// The width of a text without SAUCE when no line is wider: a DOS screen's.
inline constexpr int kScreenColumns = 80;
// Wider texts wrap here, as ANSI art wraps at its width.
inline constexpr int kMaxColumns = 1000;
// A larger picture is refused: a text of empty lines or cursor jumps would
// otherwise ask for gigabytes.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{64} << 20;

// How a text is laid out on its picture.
struct Layout {
  std::string_view text;  // the bytes drawn: any SAUCE tail left out
  int columns = kScreenColumns;
  int glyphWidth = kGlyphWidth;
  bool iceColours = false;
  std::uint64_t rowBound = 0;  // no more rows than these can be drawn
  // ANSI art and texts of a SAUCE width wrap as a DOS screen does: a line
  // that fills the width and then ends leaves an empty row.
  bool lineEndsKept = false;
};
// The SAUCE width, else 80 columns or the longest line when wider (escape
// sequences take no columns); an ANSI text without SAUCE keeps 80, as its
// lines are meant to wrap there.
Layout LayOut(std::string_view bytes);

struct Picture {
  std::string png;    // the PNG file's bytes; empty when nothing was drawn
  std::string error;  // why nothing was drawn
  Layout layout;
  bool Drawn() const { return error.empty(); }
};
Picture DrawText(std::string_view bytes);

// The bytes a text's layout takes as controls, never as glyphs: TAB, LF,
// CR, the end-of-file byte and ESC.
bool IsLayoutControl(unsigned char byte);
// Every other byte's glyph as DrawText draws it, byte b in the cell at
// x = 8 * b of one 2048x16 row, lit pixels grey on black; controls are blank
// cells. The preview draws its cells from it, so both show one font.
std::string GlyphSheet();

}  // namespace kelvo::art
