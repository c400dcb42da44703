#include "viewer/help_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/ordinary_file.h"

namespace kelvo::help {

namespace {

// Empty for a regular file.
QString NotAFile(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return "it is a directory";
  if (S_ISFIFO(mode)) return "it is a named pipe (FIFO), not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
  if (S_ISSOCK(mode)) return "it is a socket, not a file";
  return "it is not a regular file";
}

QString TooLarge(std::size_t size, std::size_t limit) {
  return QString("it is too large: %1 bytes, at most %2 bytes")
      .arg(qulonglong(size))
      .arg(qulonglong(limit));
}

QString ErrnoProblem(int error) {
  if (error == ENOENT || error == ENOTDIR) return "it does not exist";
  return QString::fromLocal8Bit(std::strerror(error));
}

HelpFile Problem(QString text) {
  return {{}, std::move(text)};
}

}  // namespace

HelpFile ReadHelpFile(const std::string& hostPath, std::size_t limit) {
  host::OrdinaryFile file = host::ReadOrdinaryFile(hostPath, limit);
  switch (file.status) {
    case host::OrdinaryFile::Status::Read:
      return {QString::fromUtf8(file.bytes.data(), qsizetype(file.bytes.size())), {}};
    case host::OrdinaryFile::Status::OpenFailed:
    case host::OrdinaryFile::Status::ReadFailed:
      return Problem(ErrnoProblem(file.error));
    case host::OrdinaryFile::Status::NotOrdinary:
      return Problem(NotAFile(file.mode));
    case host::OrdinaryFile::Status::TooLarge:
      return Problem(TooLarge(std::size_t(file.size), limit));
  }
  return {};
}

}  // namespace kelvo::help
