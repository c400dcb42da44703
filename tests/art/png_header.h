// A PNG's size as its header gives it, for tests that can't link Qt's
// reader; nullopt for bytes that are no PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace kelvo::testing {

inline std::optional<std::pair<std::uint32_t, std::uint32_t>> PngSize(std::string_view png) {
  constexpr std::string_view kSignature = "\x89PNG\r\n\x1A\n";
  if (png.size() < 24 || png.substr(0, 8) != kSignature || png.substr(12, 4) != "IHDR")
    return std::nullopt;
  auto word = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | static_cast<unsigned char>(png[at + i]);
    return value;
  };
  return std::pair{word(16), word(20)};
}

}  // namespace kelvo::testing
