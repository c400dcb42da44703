// libFuzzer target: the size report and the size text read from it. Any
// report must give a size of 0 or at least one megabyte, never a negative,
// infinite or NaN one; the only failure allowed is the overflow error for a
// number beyond single precision.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/drive_table.h"
#include "host/filesystem.h"
#include "scratch_dir.h"
#include "source/measure.h"
#include "source/size_text.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

std::optional<float> SizeOf(std::string_view text) {
  try {
    float size = kelvo::SourceSizeFromText(text);
    Require(std::isfinite(size) && (size == 0.0f || size >= 1.0f));
    return size;
  } catch (const std::overflow_error&) {
    return std::nullopt;
  }
}

float Megabytes(double bytes) {
  float n = static_cast<float>(bytes);
  return n > 1000000.0f ? n / 1000000.0f : 0.0f;
}

// A text whose first word is only digits (with "," groups and line breaks,
// which the reader passes over) must read as exactly that number.
void CheckPlainNumber(std::string_view text, std::optional<float> size) {
  std::string digits;
  for (char c : text.substr(0, text.find(' '))) {
    if (c == ',' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c < '0' || c > '9') return;
    digits += c;
  }
  if (digits.empty()) {
    Require(size == 0.0f);
    return;
  }
  double value = std::strtod(digits.c_str(), nullptr);
  if (value > FLT_MAX) {
    Require(!size);
  } else {
    Require(size == Megabytes(value));
  }
}

const std::string& Root() {
  static const std::string root = kelvo::fuzz::ScratchDir();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  // The text as the size display holds it.
  CheckPlainNumber(text, SizeOf(text));

  // A CD image's length as MeasureImage writes it reads back as that length.
  if (size >= 8) {
    std::uint64_t length;
    std::memcpy(&length, data, sizeof length);
    std::string shown = kelvo::GroupDigits(length) + " Total bytes";
    Require(SizeOf(shown) == Megabytes(static_cast<double>(length)));
  }

  // The same bytes as the size tool's report of d:\games.
  const std::string& root = Root();
  kelvo::fuzz::WriteBytes(root + "/size.txt", text);
  kelvo::host::DriveTable drives;
  drives.Map('c', root);
  kelvo::host::FileSystem fs(drives);
  auto figure = kelvo::ReadSizeReport(fs, kelvo::kSizeReport, "d:\\games");
  if (!figure) return 0;  // the report ends where its figure should be
  // One line of the report, without its leading blanks.
  Require(figure->find_first_of("\r\n") == std::string::npos);
  Require(figure->empty() || figure->front() != ' ');
  CheckPlainNumber(*figure, SizeOf(*figure));
  return 0;
}
