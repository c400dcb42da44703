#include "host/ordinary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "host/unique_fd.h"

namespace kelvo::host {

OrdinaryFile ReadOrdinaryFile(const std::string& hostPath, std::uint64_t limit) {
  OrdinaryFile r;
  auto fail = [&r](OrdinaryFile::Status status, int error) {
    r.status = status;
    r.error = error;
    r.bytes.clear();
    return std::move(r);
  };
  auto refuse = [&r](const struct stat& st) {
    if (!S_ISREG(st.st_mode)) {
      r.status = OrdinaryFile::Status::NotOrdinary;
      r.mode = st.st_mode;
    } else {
      r.status = OrdinaryFile::Status::TooLarge;
      r.size = static_cast<std::uint64_t>(st.st_size);
    }
    return std::move(r);
  };
  // Looked at before opening: opening a device may already do something.
  struct stat st {};
  if (::stat(hostPath.c_str(), &st) != 0) return fail(OrdinaryFile::Status::OpenFailed, errno);
  if (!S_ISREG(st.st_mode)) return refuse(st);

  // Non-blocking, so that a pipe put in the file's place since cannot hold
  // the open; what was opened is looked at again.
  UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return fail(OrdinaryFile::Status::OpenFailed, errno);
  if (::fstat(fd.get(), &st) != 0) return fail(OrdinaryFile::Status::ReadFailed, errno);
  if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > limit) return refuse(st);

  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return fail(OrdinaryFile::Status::ReadFailed, errno);
    if (got == 0) return r;
    // A file that grows while it is read stops at the limit.
    if (r.bytes.size() + static_cast<std::size_t>(got) > limit) {
      r.size = r.bytes.size() + static_cast<std::size_t>(got);
      if (::fstat(fd.get(), &st) == 0)
        r.size = std::max(r.size, static_cast<std::uint64_t>(st.st_size));
      r.status = OrdinaryFile::Status::TooLarge;
      r.bytes.clear();
      r.bytes.shrink_to_fit();
      return r;
    }
    r.bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace kelvo::host
