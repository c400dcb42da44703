#include "host/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/host_error.h"

namespace kelvo::host {

LineReader::LineReader(const std::string& hostPath, std::string_view shownName)
    : file_(std::fopen(hostPath.c_str(), "rb")),
      name_(shownName.empty() ? hostPath : std::string(shownName)) {
  if (!file_) ThrowErrno("open", name_, errno);
  struct stat st;
  if (::fstat(fileno(file_), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(file_);
    throw HostError("read", name_, "Is a directory");
  }
}

LineReader::~LineReader() {
  if (file_) std::fclose(file_);
}

bool LineReader::Next(std::string& line) {
  line.clear();
  int c = std::getc(file_);
  if (c == EOF) {
    if (std::ferror(file_)) ThrowErrno("read", name_, errno);
    return false;
  }
  while (c != EOF && c != '\n' && c != '\r') {
    line += static_cast<char>(c);
    c = std::getc(file_);
  }
  if (c == '\r') {
    int next = std::getc(file_);
    if (next != '\n' && next != EOF) std::ungetc(next, file_);
  }
  if (c == EOF && std::ferror(file_)) ThrowErrno("read", name_, errno);
  return true;
}

namespace {

// The process's umask, read without changing it (other threads may create
// files meanwhile).
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    mode_t m = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
      char line[256];
      while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "Umask:", 6) == 0)
          m = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
      std::fclose(f);
    }
    return m;
  }();
  return mask;
}

// Read-only as DOS sees it, for the file itself and not what a link names.
bool IsReadOnlyFileItself(const std::string& hostPath) {
  struct stat st;
  return ::lstat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

}  // namespace

FileBeside::FileBeside(const std::string& hostPath, std::string_view shownName)
    : target_(hostPath), temp_(hostPath + ".XXXXXX"), name_(shownName) {
  if (IsReadOnlyFileItself(hostPath)) throw HostError("write", name_, "Read-only file");
  struct stat st;
  if (::lstat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    throw HostError("create", name_, "Is a directory");
  fd_.reset(::mkostemp(temp_.data(), O_CLOEXEC));
  if (!fd_) ThrowErrno("create", name_, errno);
  ::fchmod(fd_.get(), 0666 & ~CurrentUmask());
}

FileBeside::~FileBeside() {
  if (done_) return;
  fd_.reset();
  ::unlink(temp_.c_str());
}

int FileBeside::Release() {
  done_ = true;
  return fd_.release();
}

void FileBeside::Commit() {
  if (fd_) {
    if (::close(fd_.release()) != 0) ThrowErrno("write", name_, errno);
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) ThrowErrno("write", name_, errno);
  done_ = true;
}

LineWriter::LineWriter(const std::string& hostPath, Mode mode, std::string_view shownName)
    : file_(nullptr), name_(shownName.empty() ? hostPath : std::string(shownName)) {
  if (mode == Mode::Replace) {
    FileBeside beside(hostPath, name_);
    file_ = ::fdopen(beside.fd(), "wb");
    if (!file_) ThrowErrno("create", name_, errno);
    // The rename waits for Close(); until then the temporary is ours.
    target_ = hostPath;
    temp_ = beside.tempPath();
    beside.Release();
    return;
  }
  if (IsReadOnly(hostPath)) throw HostError("write", name_, "Read-only file");
  const char* how = mode == Mode::Truncate ? "wb" : "ab";
  file_ = std::fopen(hostPath.c_str(), how);
  if (!file_) ThrowErrno("create", name_, errno);
}

LineWriter::~LineWriter() {
  if (file_) std::fclose(file_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void LineWriter::WriteLine(std::string_view line) {
  WriteRaw(line);
  WriteRaw("\r\n");
}

void LineWriter::WriteRaw(std::string_view bytes) {
  if (!file_) throw HostError("write", name_, "file is closed");
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
    ThrowErrno("write", name_, errno);
}

void LineWriter::Close() {
  if (!file_) return;
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) ThrowErrno("write", name_, errno);
  if (temp_.empty()) return;
  std::string temp = std::move(temp_);
  temp_.clear();
  if (::rename(temp.c_str(), target_.c_str()) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    ThrowErrno("write", name_, error);
  }
}

std::vector<std::string> ReadLines(const std::string& hostPath) {
  LineReader reader(hostPath);
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) lines.push_back(line);
  return lines;
}

void WriteLines(const std::string& hostPath, const std::vector<std::string>& lines) {
  LineWriter writer(hostPath);
  for (const auto& line : lines) writer.WriteLine(line);
  writer.Close();
}

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", i);
    if (end == std::string_view::npos) {
      lines.emplace_back(bytes.substr(i));
      break;
    }
    lines.emplace_back(bytes.substr(i, end - i));
    i = end + 1;
    if (bytes[end] == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
  }
  return lines;
}

bool IsReadOnly(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

}  // namespace kelvo::host
