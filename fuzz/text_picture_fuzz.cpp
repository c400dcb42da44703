// libFuzzer target: any bytes as a DIZ or NFO drawn as a picture. Either a
// PNG is drawn, as wide as its layout's columns and no taller than its row
// bound (the bound is what keeps a picture's memory in check), or a reason
// is given; a SAUCE tail found always lies inside the bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "art/picture.h"
#include "art/sauce.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

std::uint32_t Word(std::string_view png, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[at + i]);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (auto sauce = kelvo::art::FindSauce(bytes)) Require(sauce->tailStart < size);
  const kelvo::art::Picture picture = kelvo::art::DrawText(bytes);
  if (!picture.Drawn()) {
    Require(picture.png.empty());
    return 0;
  }
  const std::string_view png = picture.png;
  Require(png.size() > 24 && png.substr(1, 3) == "PNG" && png.substr(12, 4) == "IHDR");
  const auto& layout = picture.layout;
  Require(Word(png, 16) == static_cast<std::uint32_t>(layout.columns * layout.glyphWidth));
  Require(Word(png, 20) <= layout.rowBound * kelvo::art::kGlyphHeight);
  return 0;
}
