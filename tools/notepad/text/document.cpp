#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/ordinary_file.h"
#include "host/unique_fd.h"
#include "text/notepad_text.h"

namespace kelvo::notepad {

bool Utf8Exact(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toStdString() == bytes;
}

std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t start = 0;
  for (std::size_t lf; (lf = bytes.find('\n', start)) != std::string_view::npos; start = lf + 1) {
    bool crlf = lf > start && bytes[lf - 1] == '\r';
    std::size_t end = crlf ? lf - 1 : lf;
    lines.push_back({std::string(bytes.substr(start, end - start)), crlf ? "\r\n" : "\n"});
  }
  lines.push_back({std::string(bytes.substr(start)), ""});
  return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
  std::string out;
  for (const auto& line : lines) out += line.text + line.end;
  return out;
}

std::vector<Line> Relink(const std::vector<Line>& original,
                         const std::vector<std::string>& edited) {
  std::size_t crlf = 0, lf = 0;
  for (const auto& line : original) (line.end == "\r\n" ? crlf : lf) += !line.end.empty();
  // A file without line ends is taken as a DOS one.
  const std::string usual = lf > crlf ? "\n" : "\r\n";

  std::size_t n = original.size(), m = edited.size();
  std::size_t head = 0;
  while (head < n && head < m && original[head].text == edited[head]) ++head;
  std::size_t tail = 0;
  while (tail < n - head && tail < m - head && original[n - 1 - tail].text == edited[m - 1 - tail])
    ++tail;

  std::vector<Line> out(m);
  for (std::size_t i = 0; i < m; ++i) {
    out[i].text = edited[i];
    if (i < head) {
      out[i].end = original[i].end;
    } else if (i >= m - tail) {
      out[i].end = original[n - m + i].end;
    } else if (i - head < n - head - tail) {
      out[i].end = original[i].end;
    }
    // Only the last line goes without a terminator.
    if (i + 1 < m && out[i].end.empty()) out[i].end = usual;
    if (i + 1 == m) out[i].end.clear();
  }
  return out;
}

int ColumnAfter(const QString& before, View view) {
  if (view == View::Utf8) return int(before.toUtf8().size()) + 1;
  return int(before.size()) + 1;
}

std::string PathFromArgs(const std::vector<std::string>& args) {
  std::string path;
  for (const auto& arg : args) {
    if (!path.empty()) path += ' ';
    path += arg;
  }
  while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.pop_back();
  return path;
}

bool LooksBinary(std::string_view bytes) {
  auto nuls = std::size_t(std::count(bytes.begin(), bytes.end(), '\0'));
  return nuls >= 4 && nuls * 10 >= bytes.size();
}

namespace {

// Why a path that exists is not a file the editor can read, in the errno
// texts' form; empty for a regular file.
std::string NotAFile(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return std::strerror(EISDIR);
  if (S_ISFIFO(mode)) return "Is a named pipe (FIFO), not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "Is a device, not a regular file";
  if (S_ISSOCK(mode)) return "Is a socket, not a regular file";
  return "Is not a regular file";
}

}  // namespace

FileRead ReadFile(const std::string& hostPath, std::size_t limit) {
  host::OrdinaryFile file = host::ReadOrdinaryFile(hostPath, limit);
  FileRead r;
  switch (file.status) {
    case host::OrdinaryFile::Status::Read:
      r.size = file.bytes.size();
      r.bytes = std::move(file.bytes);
      break;
    case host::OrdinaryFile::Status::OpenFailed:
      r.status = file.error == ENOENT ? FileRead::Status::Missing : FileRead::Status::Failed;
      r.error = std::strerror(file.error);
      break;
    case host::OrdinaryFile::Status::ReadFailed:
      r.status = FileRead::Status::Failed;
      r.error = std::strerror(file.error);
      break;
    case host::OrdinaryFile::Status::NotOrdinary:
      r.status = FileRead::Status::Failed;
      r.error = NotAFile(file.mode);
      break;
    case host::OrdinaryFile::Status::TooLarge:
      r.status = FileRead::Status::TooBig;
      r.size = static_cast<std::size_t>(file.size);
      break;
  }
  return r;
}

namespace {

// errno text of a failed call, empty on success.
std::string Errno(bool failed) {
  return failed ? std::strerror(errno) : std::string();
}

std::string WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return std::strerror(errno);
    done += std::size_t(put);
  }
  return {};
}

std::string WriteInPlace(const std::string& hostPath, std::string_view bytes) {
  host::UniqueFd fd(::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd) return std::strerror(errno);
  std::string error = WriteAll(fd.get(), bytes);
  if (::close(fd.release()) != 0 && error.empty()) error = std::strerror(errno);
  return error;
}

}  // namespace

std::string WriteFile(const std::string& hostPath, std::string_view bytes) {
  // Written beside the file and renamed over it: a disk that fills up half
  // way leaves the old text whole. Through a link, the file it names.
  std::string target = hostPath;
  if (char* real = ::realpath(hostPath.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  const auto slash = target.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = dir + "." + name + ".saving-XXXXXX";
  host::UniqueFd fd(::mkstemp(temp.data()));
  // A folder that takes no new file still lets the file itself be written.
  if (!fd) return WriteInPlace(hostPath, bytes);
  mode_t mode = old.st_mode & 07777;
  if (!exists) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  std::string error = Errno(::fchmod(fd.get(), mode) != 0);
  if (error.empty()) error = WriteAll(fd.get(), bytes);
  if (error.empty()) error = Errno(::fsync(fd.get()) != 0);
  if (::close(fd.release()) != 0 && error.empty()) error = std::strerror(errno);
  if (error.empty()) error = Errno(::rename(temp.c_str(), target.c_str()) != 0);
  if (!error.empty()) ::unlink(temp.c_str());
  return error;
}

}  // namespace kelvo::notepad
