#include "zip/comment.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/unique_fd.h"
#include "zip/le.h"

namespace kelvo::zip {

namespace {

constexpr std::size_t kEndSize = 22;       // end record without its comment
constexpr std::size_t kLocatorSize = 20;   // zip64 end locator
constexpr std::size_t kZip64EndSize = 56;  // zip64 end record, fixed part
constexpr std::string_view kEndSig = "PK\x05\x06";
constexpr std::string_view kLocatorSig = "PK\x06\x07";
constexpr std::string_view kZip64EndSig = "PK\x06\x06";
constexpr std::string_view kCentralSig = "PK\x01\x02";

// Inside this file a failure is thrown; the public functions return it.
[[noreturn]] void Fail(Fault fault, std::string_view verb, std::string_view object,
                       std::string_view reason) {
  throw MakeError(fault, verb, object, reason);
}
[[noreturn]] void FailErrno(Fault fault, std::string_view verb, std::string_view object, int err) {
  Fail(fault, verb, object, std::strerror(err));
}

bool SigAt(const ZipBytes& zip, std::uint64_t offset, std::string_view sig) {
  char buffer[4];
  return zip.Read(buffer, 4, offset) && std::string_view(buffer, 4) == sig;
}

// Whether the end record at `offset` (its bytes in `rec`) is the real one:
// single disk, and the central directory it names ends where the end
// records begin and starts with a central header.
bool Consistent(const ZipBytes& zip, std::uint64_t offset, const char* rec, EndRecord& out) {
  std::uint64_t disk = Le(rec + 4, 2), cdDisk = Le(rec + 6, 2);
  std::uint64_t entriesHere = Le(rec + 8, 2), entries = Le(rec + 10, 2);
  std::uint64_t cdSize = Le(rec + 12, 4), cdOffset = Le(rec + 16, 4);
  std::uint64_t cdEnd = offset;
  bool zip64 = false;

  char loc[kLocatorSize];
  if (offset >= kLocatorSize && zip.Read(loc, kLocatorSize, offset - kLocatorSize) &&
      std::string_view(loc, 4) == kLocatorSig) {
    std::uint64_t z64Offset = Le(loc + 8, 8);
    char z64[kZip64EndSize];
    if (Le(loc + 4, 4) != 0 || Le(loc + 16, 4) != 1 || !zip.Read(z64, kZip64EndSize, z64Offset) ||
        std::string_view(z64, 4) != kZip64EndSig)
      return false;
    std::uint64_t recordSize = Le(z64 + 4, 8);
    if (recordSize < kZip64EndSize - 12 || recordSize > offset ||
        z64Offset + 12 + recordSize != offset - kLocatorSize)
      return false;
    disk = Le(z64 + 16, 4);
    cdDisk = Le(z64 + 20, 4);
    entriesHere = Le(z64 + 24, 8);
    entries = Le(z64 + 32, 8);
    cdSize = Le(z64 + 40, 8);
    cdOffset = Le(z64 + 48, 8);
    cdEnd = z64Offset;
    zip64 = true;
  }
  if (disk != 0 || cdDisk != 0 || entriesHere != entries) return false;
  if (cdOffset > cdEnd || cdEnd - cdOffset != cdSize) return false;
  if (entries == 0 ? cdSize != 0 : !SigAt(zip, cdOffset, kCentralSig)) return false;
  out.offset = offset;
  out.commentLength = Le(rec + 20, 2);
  out.zip64 = zip64;
  return true;
}

// Why a comment can't be written into any zip; empty when it can.
std::string CommentRefusal(std::string_view comment) {
  if (comment.size() > kMaxComment) return "the comment is longer than 65535 bytes";
  // Readers look for the end record from the back: one inside the comment
  // would hide the real one from some of them.
  if (comment.find(kEndSig) != std::string_view::npos)
    return "the comment holds a zip end record signature";
  return {};
}

EndRecord FindEnd(int fd, std::uint64_t size, std::string_view shownName) {
  EndSearch search = SearchEndRecord(ZipBytes(fd, size));
  if (search.readError) FailErrno(Fault::kNotAZip, "read", shownName, search.readError);
  if (!search.record) Fail(Fault::kNotAZip, "read", shownName, "not a zip file");
  return *search.record;
}

void OpenForReading(const std::string& hostPath, std::string_view shownName, host::UniqueFd& file,
                    struct stat& st) {
  file.reset(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) FailErrno(Fault::kNotAZip, "open", shownName, errno);
  if (::fstat(file.get(), &st) != 0) FailErrno(Fault::kNotAZip, "open", shownName, errno);
  if (!S_ISREG(st.st_mode)) Fail(Fault::kNotAZip, "open", shownName, "not a file");
}

void CopyRange(int in, int out, std::uint64_t len, std::string_view shownName) {
  off_t inPos = 0, outPos = 0;
  bool inKernel = true;
  std::vector<char> buffer;
  while (static_cast<std::uint64_t>(inPos) < len) {
    std::size_t chunk = static_cast<std::size_t>(
        std::min<std::uint64_t>(len - static_cast<std::uint64_t>(inPos), 1 << 30));
    ssize_t n;
    if (inKernel) {
      n = ::copy_file_range(in, &inPos, out, &outPos, chunk, 0);
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        inKernel = false;
        continue;
      }
    } else {
      buffer.resize(1 << 20);
      n = ::pread(in, buffer.data(), std::min(chunk, buffer.size()), inPos);
      if (n > 0) {
        for (ssize_t done = 0; done < n;) {
          ssize_t w = ::pwrite(out, buffer.data() + done, static_cast<std::size_t>(n - done),
                               outPos + done);
          if (w < 0 && errno == EINTR) continue;
          if (w < 0) FailErrno(Fault::kWrite, "write", shownName, errno);
          done += w;
        }
        inPos += n;
        outPos += n;
      }
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailErrno(Fault::kWrite, "write", shownName, errno);
    if (n == 0) Fail(Fault::kNotAZip, "read", shownName, "the file got shorter");
  }
}

void WriteAll(int fd, std::string_view bytes, std::uint64_t offset, std::string_view shownName) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailErrno(Fault::kWrite, "write", shownName, errno);
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

bool ZipBytes::Read(char* out, std::size_t len, std::uint64_t offset, int* error) const {
  if (error) *error = 0;
  if (fd_ < 0) {
    if (offset > size_ || len > size_ - offset) return false;
    std::memcpy(out, memory_.data() + offset, len);
    return true;
  }
  host::ReadOutcome read = host::ReadExactly(fd_, out, len, offset);
  if (error) *error = read.error;
  return static_cast<bool>(read);
}

EndSearch SearchEndRecord(const ZipBytes& zip) {
  EndSearch search;
  const std::uint64_t size = zip.size();
  if (size < kEndSize) return search;
  std::size_t tailLen =
      static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + kMaxComment));
  std::uint64_t tailStart = size - tailLen;
  std::vector<char> tail(tailLen);
  if (!zip.Read(tail.data(), tailLen, tailStart, &search.readError)) {
    if (!search.readError) search.readError = EIO;  // the file got shorter
    return search;
  }
  // Searching from the end; a record whose comment does not reach exactly
  // to the end of the file, or whose directory does not fit, is not it.
  for (std::size_t i = tailLen - kEndSize + 1; i-- > 0;) {
    if (std::string_view(tail.data() + i, 4) != kEndSig) continue;
    if (i + kEndSize + Le(tail.data() + i + 20, 2) != tailLen) continue;
    EndRecord record;
    if (Consistent(zip, tailStart + i, tail.data() + i, record)) {
      search.record = record;
      return search;
    }
  }
  return search;
}

CommentTail NewCommentTail(const ZipBytes& zip, const EndRecord& record, std::string_view comment) {
  CommentTail tail;
  tail.refusal = CommentRefusal(comment);
  if (!tail.refusal.empty()) return tail;
  tail.bytes += static_cast<char>(comment.size() & 0xFF);
  tail.bytes += static_cast<char>(comment.size() >> 8);
  tail.bytes += comment;
  // Nor one across the new length: 0x4B50 is stored as "PK", and the
  // record's own last bytes, before the length, count as well.
  char before[3];
  if (!zip.Read(before, sizeof before, record.offset + kEndSize - 5, &tail.readError)) {
    if (!tail.readError) tail.readError = EIO;
    tail.bytes.clear();
    return tail;
  }
  if ((std::string(before, sizeof before) + tail.bytes.substr(0, 5)).find(kEndSig) !=
      std::string::npos) {
    tail.refusal = "the comment holds a zip end record signature";
    tail.bytes.clear();
  }
  return tail;
}

Result<EndRecord> FindEndRecord(const std::string& hostPath, std::string_view shownName) try {
  host::UniqueFd file;
  struct stat st;
  OpenForReading(hostPath, shownName, file, st);
  return FindEnd(file.get(), static_cast<std::uint64_t>(st.st_size), shownName);
} catch (const Error& error) {
  return error;
}

Result<std::string> ReadComment(const std::string& hostPath, std::string_view shownName) try {
  host::UniqueFd file;
  struct stat st;
  OpenForReading(hostPath, shownName, file, st);
  EndRecord record = FindEnd(file.get(), static_cast<std::uint64_t>(st.st_size), shownName);
  std::string comment(static_cast<std::size_t>(record.commentLength), '\0');
  host::ReadOutcome read =
      host::ReadExactly(file.get(), comment.data(), comment.size(), record.offset + kEndSize);
  if (!read) FailErrno(Fault::kNotAZip, "read", shownName, read.error ? read.error : EIO);
  return comment;
} catch (const Error& error) {
  return error;
}

std::optional<Error> WriteComment(const std::string& hostPath, std::string_view comment,
                                  std::string_view shownName) try {
  const char* verb = "set the comment of";
  if (std::string why = CommentRefusal(comment); !why.empty())
    Fail(Fault::kBadRequest, verb, shownName, why);

  // Replace the file a symbolic link names, not the link.
  char* resolved = ::realpath(hostPath.c_str(), nullptr);
  if (!resolved) FailErrno(Fault::kNotAZip, "open", shownName, errno);
  std::string target = resolved;
  std::free(resolved);

  host::UniqueFd in;
  struct stat st;
  OpenForReading(target, shownName, in, st);
  if (!(st.st_mode & S_IWUSR)) Fail(Fault::kWrite, "write", shownName, "Read-only file");
  const auto size = static_cast<std::uint64_t>(st.st_size);
  EndRecord record = FindEnd(in.get(), size, shownName);
  CommentTail tail = NewCommentTail(ZipBytes(in.get(), size), record, comment);
  if (tail.readError) FailErrno(Fault::kNotAZip, "read", shownName, tail.readError);
  if (!tail.refusal.empty()) Fail(Fault::kBadRequest, verb, shownName, tail.refusal);

  std::string temp = target + ".XXXXXX";
  host::UniqueFd out(::mkstemp(temp.data()));
  if (!out) FailErrno(Fault::kWrite, "create a file beside", shownName, errno);
  try {
    if (::fchmod(out.get(), st.st_mode & 07777) != 0)
      FailErrno(Fault::kWrite, "write", shownName, errno);
    // Everything up to the end record's comment length stays as it was.
    std::uint64_t keep = record.offset + kEndSize - 2;
    CopyRange(in.get(), out.get(), keep, shownName);
    WriteAll(out.get(), tail.bytes, keep, shownName);
    if (::close(out.release()) != 0) FailErrno(Fault::kWrite, "write", shownName, errno);
    if (::rename(temp.c_str(), target.c_str()) != 0)
      FailErrno(Fault::kWrite, "replace", shownName, errno);
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
  return std::nullopt;
} catch (const Error& error) {
  return error;
}

}  // namespace kelvo::zip
