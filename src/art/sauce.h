// SAUCE, the record the scene's drawing programs append to a text: after an
// end-of-file byte, optionally "COMNT" and 64-byte comment lines, then 128
// bytes starting "SAUCE00". Viewers take the canvas width and the iCE colour
// and letter-spacing flags from it; the text itself ends before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo::art {

struct Sauce {
  std::size_t tailStart = 0;  // where the tail begins: its end-of-file byte
  std::uint16_t width = 0;    // columns; 0 when the record gives none
  bool iceColours = false;    // blink bit means a bright background
  int letterSpacing = 0;      // 8 or 9 pixels; 0 when the record leaves it open
};

// The SAUCE tail the bytes end in; nullopt when they end in none that is
// well formed.
std::optional<Sauce> FindSauce(std::string_view bytes);

}  // namespace kelvo::art
