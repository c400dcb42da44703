#include "zip/size.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "zip/comment.h"
#include "zip/parallel_deflate.h"
#include "zip/write.h"

namespace kelvo::zip {

std::uint64_t LargestEntryData(std::uint64_t size, int level) {
  if (size >= Writer::kParallelBytes) return std::max(size, ParallelDeflate::Bound(level, size));
  // libzip's own deflate: raw, at the largest memory level.
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  std::uint64_t bound = deflateBound(&z, static_cast<uLong>(size));
  deflateEnd(&z);
  return std::max(size, bound);
}

std::uint64_t LargestZipBytes(const std::vector<SizedEntry>& entries, std::uint64_t commentBytes,
                              int level) {
  std::uint64_t bytes = kEndRecordBytes + std::min<std::uint64_t>(commentBytes, kMaxComment);
  for (const SizedEntry& entry : entries)
    bytes += kLocalHeaderBytes + kCentralRecordBytes + 2 * entry.name.size() +
             LargestEntryData(entry.bytes, level);
  return bytes;
}

}  // namespace kelvo::zip
