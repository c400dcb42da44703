// Code page 437, the PC's character set in which DIZ and NFO art is drawn.
// There is no codec for it to rely on; the bytes stay bytes and are only
// shown through this table.
#pragma once

#include <optional>

namespace kelvo::texts {

// The glyph for a byte (UTF-16; every CP437 glyph lies in the BMP).
char16_t Cp437Glyph(unsigned char byte);
// The byte showing a glyph; nullopt for a glyph outside the table.
std::optional<unsigned char> Cp437Byte(char16_t glyph);

}  // namespace kelvo::texts
