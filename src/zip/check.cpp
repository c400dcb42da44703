#include "zip/check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "host/unique_fd.h"
#include "zip/comment.h"
#include "zip/le.h"
#include "zip/parallel_deflate.h"

namespace kelvo::zip {

namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;

using host::ReadExactly;
using Fd = host::UniqueFd;

struct Entry {
  std::string name;
  std::uint16_t flags = 0, method = 0;
  std::uint32_t dosTime = 0;  // time and date, as both headers hold them
  std::uint32_t crc = 0;
  std::uint64_t compressed = 0, size = 0, local = 0;
};

// Thrown inside the check; becomes the reason.
struct Bad {
  std::string reason;
};

class Reader {
 public:
  explicit Reader(std::vector<std::vector<char>>& buffers) : buffers_(buffers) {
    buffers_.resize(3);
    for (auto& b : buffers_)
      if (b.size() < kBlock) b.resize(kBlock);
  }
  ~Reader() {
    if (inflating_) inflateEnd(&z_);
  }

  CheckSum Run(const std::string& zipHost, std::string_view original,
               const std::string& originalHost, const std::vector<std::uint64_t>* chunks) {
    chunks_ = chunks;
    zip_.reset(::open(zipHost.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!zip_ || ::fstat(zip_.get(), &st) != 0) throw Bad{std::strerror(errno)};
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    EndSearch search = SearchEndRecord(ZipBytes(zip_.get(), fileSize_));
    if (search.readError) throw Bad{std::strerror(search.readError)};
    if (!search.record) throw Bad{"not a zip file"};
    const EndRecord& end = *search.record;
    std::vector<Entry> entries = ReadCentral(end);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.local < b.local; });

    const Entry* wanted = nullptr;
    if (!original.empty()) {
      for (const Entry& e : entries)
        if (e.name == original) wanted = &e;
      if (!wanted) throw Bad{std::string(original) + " is missing from the zip"};
      original_.reset(::open(originalHost.c_str(), O_RDONLY | O_CLOEXEC));
      if (!original_ || ::fstat(original_.get(), &st) != 0)
        throw Bad{"can't read " + std::string(original) + ": " + std::strerror(errno)};
      if (static_cast<std::uint64_t>(st.st_size) != wanted->size)
        throw Bad{std::string(original) + " differs from the file on disk (" +
                  std::to_string(wanted->size) + " bytes in the zip, " +
                  std::to_string(st.st_size) + " on disk)"};
    }

    crc_ = crc32(0, nullptr, 0);
    pos_ = 0;
    for (const Entry& e : entries) {
      if (e.local < pos_) throw Bad{e.name + " overlaps the entry before it"};
      CrcRange(e.local);
      CheckEntry(e, &e == wanted);
    }
    if (cdOffset_ < pos_) throw Bad{"the central directory overlaps the data"};
    CrcRange(fileSize_);
    return {static_cast<std::uint32_t>(crc_), fileSize_};
  }

 private:
  std::vector<Entry> ReadCentral(const EndRecord& end) {
    char rec[kZip64EndSize];
    if (!ReadExactly(zip_.get(), rec, kEndSize, end.offset)) throw Bad{"can't read the end record"};
    std::uint64_t count = Le(rec + 10, 2), cdSize = Le(rec + 12, 4);
    cdOffset_ = Le(rec + 16, 4);
    if (end.zip64) {
      char loc[kLocatorSize];
      if (!ReadExactly(zip_.get(), loc, kLocatorSize, end.offset - kLocatorSize) ||
          !ReadExactly(zip_.get(), rec, kZip64EndSize, Le(loc + 8, 8)))
        throw Bad{"can't read the zip64 end record"};
      count = Le(rec + 32, 8);
      cdSize = Le(rec + 40, 8);
      cdOffset_ = Le(rec + 48, 8);
    }
    if (cdSize > fileSize_) throw Bad{"the central directory is larger than the zip"};
    std::string cd(static_cast<std::size_t>(cdSize), '\0');
    if (!ReadExactly(zip_.get(), cd.data(), cd.size(), cdOffset_))
      throw Bad{"can't read the central directory"};

    std::vector<Entry> entries;
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
      if (cd.size() - at < kCentralSize || cd.compare(at, 4, "PK\x01\x02") != 0)
        throw Bad{"the central directory is damaged"};
      const char* p = cd.data() + at;
      Entry e;
      e.flags = static_cast<std::uint16_t>(Le(p + 8, 2));
      e.method = static_cast<std::uint16_t>(Le(p + 10, 2));
      e.dosTime = static_cast<std::uint32_t>(Le(p + 12, 4));
      e.crc = static_cast<std::uint32_t>(Le(p + 16, 4));
      e.compressed = Le(p + 20, 4);
      e.size = Le(p + 24, 4);
      std::size_t nameLen = Le(p + 28, 2), extraLen = Le(p + 30, 2), commentLen = Le(p + 32, 2);
      e.local = Le(p + 42, 4);
      if (cd.size() - at - kCentralSize < nameLen + extraLen + commentLen)
        throw Bad{"the central directory is damaged"};
      e.name.assign(p + kCentralSize, nameLen);
      ReadZip64Extra(std::string_view(p + kCentralSize + nameLen, extraLen), e);
      if (e.flags & 1) throw Bad{e.name + " is encrypted"};
      if (e.method != 0 && e.method != 8) throw Bad{e.name + " uses an unknown method"};
      entries.push_back(std::move(e));
      at += kCentralSize + nameLen + extraLen + commentLen;
    }
    return entries;
  }

  static void ReadZip64Extra(std::string_view extra, Entry& e) {
    while (extra.size() >= 4) {
      std::size_t id = Le(extra.data(), 2), len = Le(extra.data() + 2, 2);
      if (len > extra.size() - 4) break;
      if (id == 1) {
        std::string_view f = extra.substr(4, len);
        for (std::uint64_t* field : {&e.size, &e.compressed, &e.local}) {
          if (*field != kMax32) continue;
          if (f.size() < 8) throw Bad{e.name + ": its zip64 sizes are damaged"};
          *field = Le(f.data(), 8);
          f.remove_prefix(8);
        }
      }
      extra.remove_prefix(4 + len);
    }
  }

  // The local header's method, time, CRC and sizes are the central
  // directory's; behind a data descriptor (flag bit 3) the last three may be
  // zero, and zip64 sizes stand in its extra field.
  static bool LocalMatches(const char* local, const Entry& e) {
    if (Le(local + 8, 2) != e.method || Le(local + 10, 4) != e.dosTime) return false;
    if (Le(local + 6, 2) & 8) return true;
    const auto sizeMatches = [](std::uint64_t field, std::uint64_t central) {
      return field == kMax32 || field == central;
    };
    return Le(local + 14, 4) == e.crc && sizeMatches(Le(local + 18, 4), e.compressed) &&
           sizeMatches(Le(local + 22, 4), e.size);
  }

  // Adds [pos_, to) of the zip to the file's CRC.
  void CrcRange(std::uint64_t to) {
    std::vector<char>& b = buffers_[0];
    while (pos_ < to) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(b.size(), to - pos_));
      if (!ReadExactly(zip_.get(), b.data(), n, pos_)) throw Bad{"the zip ends early"};
      crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(n));
      pos_ += n;
    }
  }

  // `data` is the next part of the entry's contents (at `produced`).
  void CompareWithOriginal(const Entry& e, const char* data, std::size_t n, std::uint64_t at) {
    std::vector<char>& b = buffers_[1];
    if (!ReadExactly(original_.get(), b.data(), n, at) || std::memcmp(b.data(), data, n) != 0)
      throw Bad{e.name + " differs from the file on disk"};
  }

  void CheckEntry(const Entry& e, bool compare) {
    char local[kLocalSize];
    if (!ReadExactly(zip_.get(), local, kLocalSize, e.local) ||
        std::string_view(local, 4) != "PK\x03\x04")
      throw Bad{e.name + ": its local header is missing"};
    std::size_t nameLen = Le(local + 26, 2), extraLen = Le(local + 28, 2);
    std::string name(nameLen, '\0');
    if (!ReadExactly(zip_.get(), name.data(), nameLen, e.local + kLocalSize) || name != e.name ||
        !LocalMatches(local, e))
      throw Bad{e.name + ": its local header does not match the central directory"};
    CrcRange(e.local + kLocalSize + nameLen + extraLen);
    const std::uint64_t dataEnd = pos_ + e.compressed;
    if (dataEnd > fileSize_ || dataEnd < pos_) throw Bad{e.name + " runs past the end of the zip"};

    const bool deflated = e.method == 8;
    if (deflated && compare && ChunksFit(e)) {
      CheckChunks(e);
      return;
    }
    if (deflated) {
      if (!inflating_) {
        std::memset(&z_, 0, sizeof z_);
        if (inflateInit2(&z_, -15) != Z_OK) throw Bad{"out of memory"};
        inflating_ = true;
      } else {
        inflateReset(&z_);
      }
    } else if (e.compressed != e.size) {
      throw Bad{e.name + ": stored with two different sizes"};
    }
    uLong dataCrc = crc32(0, nullptr, 0);  // of the bytes as they stand in the zip
    uLong entryCrc = crc32(0, nullptr, 0);
    std::uint64_t produced = 0;
    bool ended = !deflated;
    std::vector<char>& in = buffers_[0];
    std::vector<char>& out = buffers_[2];
    for (std::uint64_t at = pos_; at < dataEnd;) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), dataEnd - at));
      if (!ReadExactly(zip_.get(), in.data(), n, at)) throw Bad{"the zip ends early"};
      at += n;
      if (!deflated) {
        entryCrc = crc32(entryCrc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
        if (compare) CompareWithOriginal(e, in.data(), n, produced);
        produced += n;
        continue;
      }
      dataCrc = crc32(dataCrc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
      if (ended) throw Bad{e.name + ": data after the end of its deflate stream"};
      z_.next_in = reinterpret_cast<Bytef*>(in.data());
      z_.avail_in = static_cast<uInt>(n);
      // Until the input is used up, and while a full output buffer may
      // leave more behind.
      do {
        z_.next_out = reinterpret_cast<Bytef*>(out.data());
        z_.avail_out = static_cast<uInt>(out.size());
        int r = inflate(&z_, Z_NO_FLUSH);
        if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR)
          throw Bad{e.name + ": its deflated data is damaged"};
        std::size_t got = out.size() - z_.avail_out;
        if (produced + got > e.size) throw Bad{e.name + " is longer than its recorded size"};
        entryCrc =
            crc32(entryCrc, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(got));
        if (compare) CompareWithOriginal(e, out.data(), got, produced);
        produced += got;
        ended = r == Z_STREAM_END;
        if (r == Z_BUF_ERROR && got == 0) break;
      } while (!ended && (z_.avail_in > 0 || z_.avail_out == 0));
      if (ended && (z_.avail_in > 0 || at < dataEnd))
        throw Bad{e.name + ": data after the end of its deflate stream"};
    }
    if (!ended) throw Bad{e.name + ": its deflated data ends early"};
    if (produced != e.size) throw Bad{e.name + " is shorter than its recorded size"};
    if (entryCrc != e.crc) throw Bad{e.name + ": its CRC does not match its data"};
    // Stored data is its own CRC; deflated data was summed as it was read.
    crc_ = crc32_combine(crc_, deflated ? dataCrc : entryCrc, static_cast<z_off_t>(e.compressed));
    pos_ = dataEnd;
  }

  bool ChunksFit(const Entry& e) const {
    if (!chunks_) return false;
    const std::uint64_t k = ParallelDeflate::kChunkBytes;
    std::uint64_t sum = 0;
    for (std::uint64_t n : *chunks_) sum += n;
    return sum == e.compressed &&
           chunks_->size() == std::max<std::uint64_t>(1, (e.size + k - 1) / k);
  }

  // One chunk of a ParallelDeflate stream, checked on a worker.
  struct Part {
    std::uint64_t in = 0, inLength = 0;    // in the zip
    std::uint64_t out = 0, outLength = 0;  // in the entry (and the file)
    bool last = false;
    bool done = false;
    uLong dataCrc = 0, crc = 0;
    std::string failure;
  };

  // Inflates `part` alone, primed with the 32 KiB of the file before it,
  // and compares what it gives with the file. No exceptions: a worker.
  void CheckPart(Part& part, z_stream& z, std::vector<char>& in, std::vector<char>& out,
                 std::vector<char>& original, const Entry& e) {
    const std::size_t dictionary = 32 * 1024;
    in.resize(std::max<std::size_t>(in.size(), part.inLength));
    out.resize(std::max<std::size_t>(out.size(), part.outLength + 1));
    original.resize(std::max<std::size_t>(original.size(), part.outLength + dictionary));
    std::size_t primed = static_cast<std::size_t>(std::min<std::uint64_t>(dictionary, part.out));
    if (!ReadExactly(zip_.get(), in.data(), part.inLength, part.in)) {
      part.failure = "the zip ends early";
      return;
    }
    if (!ReadExactly(original_.get(), original.data(), primed + part.outLength,
                     part.out - primed)) {
      part.failure = e.name + " differs from the file on disk";
      return;
    }
    part.dataCrc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(in.data()),
                         static_cast<uInt>(part.inLength));
    inflateReset(&z);
    if (primed > 0)
      inflateSetDictionary(&z, reinterpret_cast<const Bytef*>(original.data()),
                           static_cast<uInt>(primed));
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(part.inLength);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(part.outLength + 1);
    int r = inflate(&z, Z_NO_FLUSH);
    std::size_t got = part.outLength + 1 - z.avail_out;
    if ((r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) || z.avail_in != 0 ||
        (r == Z_STREAM_END) != part.last || got != part.outLength) {
      part.failure = e.name + ": its deflated data is damaged";
      return;
    }
    part.crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(out.data()),
                     static_cast<uInt>(got));
    if (std::memcmp(out.data(), original.data() + primed, got) != 0) {
      part.failure = e.name + " differs from the file on disk";
      return;
    }
    part.done = true;
  }

  void CheckChunks(const Entry& e) {
    std::vector<Part> parts(chunks_->size());
    std::uint64_t in = pos_, out = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      parts[i].in = in;
      parts[i].inLength = (*chunks_)[i];
      parts[i].out = out;
      parts[i].outLength = std::min<std::uint64_t>(ParallelDeflate::kChunkBytes, e.size - out);
      parts[i].last = i + 1 == parts.size();
      in += parts[i].inLength;
      out += parts[i].outLength;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
      z_stream z{};
      if (inflateInit2(&z, -15) != Z_OK) {
        failed = true;
        return;
      }
      std::vector<char> inBuf, outBuf, original;
      for (std::size_t i; !failed && (i = next++) < parts.size();) {
        CheckPart(parts[i], z, inBuf, outBuf, original, e);
        if (!parts[i].failure.empty()) failed = true;
      }
      inflateEnd(&z);
    };
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < std::min<std::size_t>(cores, parts.size()); ++i) {
      try {
        helpers.emplace_back(work);
      } catch (const std::system_error&) {
        break;
      }
    }
    work();
    for (auto& t : helpers) t.join();

    for (const Part& part : parts)
      if (!part.failure.empty()) throw Bad{part.failure};
    uLong dataCrc = crc32(0, nullptr, 0), entryCrc = crc32(0, nullptr, 0);
    for (const Part& part : parts) {
      if (!part.done) throw Bad{"out of memory"};
      dataCrc = crc32_combine(dataCrc, part.dataCrc, static_cast<z_off_t>(part.inLength));
      entryCrc = crc32_combine(entryCrc, part.crc, static_cast<z_off_t>(part.outLength));
    }
    if (entryCrc != e.crc) throw Bad{e.name + ": its CRC does not match its data"};
    crc_ = crc32_combine(crc_, dataCrc, static_cast<z_off_t>(e.compressed));
    pos_ += e.compressed;
  }

  const std::vector<std::uint64_t>* chunks_ = nullptr;
  std::vector<std::vector<char>>& buffers_;
  Fd zip_, original_;
  std::uint64_t fileSize_ = 0, pos_ = 0, cdOffset_ = 0;
  uLong crc_ = 0;
  z_stream z_{};
  bool inflating_ = false;
};

}  // namespace

Result<CheckSum> Checker::Check(const Target& zip, const Original& original,
                                const ChunkMap* chunks) {
  const std::vector<std::uint64_t>* entryChunks = nullptr;
  if (chunks)
    if (auto found = chunks->find(original.entry); found != chunks->end())
      entryChunks = &found->second;
  try {
    return Reader(buffers_).Run(zip.hostPath, original.entry, original.hostPath, entryChunks);
  } catch (const Bad& bad) {
    return MakeError(Fault::kCheck, "check", zip.shown, bad.reason);
  }
}

}  // namespace kelvo::zip
