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

  ReadOutcome read = ReadToEnd(fd.get(), r.bytes, limit);
  if (read.end == ReadOutcome::End::Failed)
    return fail(OrdinaryFile::Status::ReadFailed, read.error);
  if (read.end == ReadOutcome::End::Short) {
    // It grew while it was read.
    r.size = r.bytes.size();
    if (::fstat(fd.get(), &st) == 0)
      r.size = std::max(r.size, static_cast<std::uint64_t>(st.st_size));
    r.status = OrdinaryFile::Status::TooLarge;
    r.bytes.clear();
    r.bytes.shrink_to_fit();
  }
  return r;
}

}  // namespace kelvo::host
