#include "viewer/help_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
  // Looked at before opening: opening a device may already do something.
  struct stat st {};
  if (::stat(hostPath.c_str(), &st) != 0) return Problem(ErrnoProblem(errno));
  if (QString why = NotAFile(st.st_mode); !why.isEmpty()) return Problem(why);

  // Non-blocking, so that a pipe put in the file's place since cannot hold
  // the open; what was opened is looked at again.
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Problem(ErrnoProblem(errno));
  HelpFile result;
  if (::fstat(fd, &st) != 0) {
    result.problem = ErrnoProblem(errno);
  } else if (QString why = NotAFile(st.st_mode); !why.isEmpty()) {
    result.problem = why;
  } else if (std::size_t(st.st_size) > limit) {
    result.problem = TooLarge(std::size_t(st.st_size), limit);
  } else {
    QByteArray bytes;
    char buffer[1 << 16];
    while (result.problem.isEmpty()) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result.problem = ErrnoProblem(errno);
      } else if (got == 0) {
        result.html = QString::fromUtf8(bytes);
        break;
      } else if (std::size_t(bytes.size()) + std::size_t(got) > limit) {
        // Grown since it was looked at.
        result.problem = TooLarge(std::size_t(bytes.size()) + std::size_t(got), limit);
      } else {
        bytes.append(buffer, got);
      }
    }
  }
  ::close(fd);
  return result;
}

}  // namespace kelvo::help
