// Text files as bytes, line by line. A line read ends at CR LF, CR or LF; a
// last line without an end is still a line. Every line written ends in CR LF.
// Nothing is re-encoded.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host/unique_fd.h"

namespace kelvo::host {

class LineReader {
 public:
  // Throws HostError when the file cannot be opened.
  explicit LineReader(const std::string& hostPath, std::string_view shownName = {});
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its end; false at the end of the file.
  bool Next(std::string& line);

 private:
  std::FILE* file_;
  std::string name_;
};

class LineWriter {
 public:
  // Replace writes a new file beside the path and renames it over the path
  // at Close(): a link planted there is replaced, never written through, and
  // the old file stays whole until the new one is complete.
  enum class Mode { Truncate, Append, Replace };
  // Throws HostError when the file cannot be created; a file without its
  // owner write bit counts as read-only and is refused.
  explicit LineWriter(const std::string& hostPath, Mode mode = Mode::Truncate,
                      std::string_view shownName = {});
  ~LineWriter();
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  void WriteLine(std::string_view line);  // line + CR LF
  void WriteRaw(std::string_view bytes);
  void Close();  // throws when the data could not be written

 private:
  std::FILE* file_;
  std::string name_;
  std::string target_, temp_;  // Replace only
};

// A file written beside `hostPath` (same directory, a unique name) that
// takes its place on Commit(); dropped without a trace otherwise. New files
// get the permissions an ordinary create would give them.
class FileBeside {
 public:
  FileBeside(const std::string& hostPath, std::string_view shownName);
  ~FileBeside();
  FileBeside(const FileBeside&) = delete;
  FileBeside& operator=(const FileBeside&) = delete;
  int fd() const { return fd_.get(); }
  const std::string& tempPath() const { return temp_; }
  // Hands the descriptor and the temporary over: the caller closes the one
  // and renames or removes the other.
  int Release();
  void Commit();  // closes (unless released) and renames; throws HostError

 private:
  std::string target_, temp_, name_;
  UniqueFd fd_;
  bool done_ = false;
};

// Whole-file helpers for small files.
std::vector<std::string> ReadLines(const std::string& hostPath);
void WriteLines(const std::string& hostPath, const std::vector<std::string>& lines);

// Splits bytes into lines by the rules above.
std::vector<std::string> SplitLines(std::string_view bytes);

// The owner write bit is DOS's read-only attribute (root ignores mode bits,
// so we check it ourselves). False for a missing file.
bool IsReadOnly(const std::string& hostPath);

}  // namespace kelvo::host
