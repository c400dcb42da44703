// Little-endian fields of a zip, for the comment writer and the zip check.
#pragma once

#include <cstdint>

namespace kelvo::zipio {

inline std::uint64_t Le(const char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

}  // namespace kelvo::zipio
