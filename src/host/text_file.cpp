#include "host/text_file.h"

#include <sys/stat.h>

#include <cerrno>

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

LineWriter::LineWriter(const std::string& hostPath, Mode mode, std::string_view shownName)
    : file_(nullptr), name_(shownName.empty() ? hostPath : std::string(shownName)) {
  if (IsReadOnly(hostPath)) throw HostError("write", name_, "Read-only file");
  const char* how = mode == Mode::Truncate ? "wb" : "ab";
  file_ = std::fopen(hostPath.c_str(), how);
  if (!file_) ThrowErrno("create", name_, errno);
}

LineWriter::~LineWriter() {
  if (file_) std::fclose(file_);
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
