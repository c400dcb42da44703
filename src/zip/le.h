// Little-endian fields of a zip, for the comment writer and the check.
#pragma once

#include <cstdint>

namespace kelvo::zip {

inline std::uint64_t Le(const char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

}  // namespace kelvo::zip
