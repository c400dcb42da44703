// The editor's byte logic: a file is kept as lines of bytes with their own
// terminators, shown one byte per character, and written back unchanged
// except where edited.
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::notepad {

enum class View { Cp437, Latin1, Utf8 };

// Larger files are refused rather than loaded into the editor.
constexpr std::size_t kMaxFileBytes = 8u << 20;

// One display character per byte in the single-byte views; control bytes
// get visible glyphs so that every byte can be seen and written back.
QChar ByteToChar(unsigned char byte, View view);
QString DecodeLine(std::string_view bytes, View view);
// The inverse: characters without a byte (typed or pasted) become '?'.
std::string EncodeLine(const QString& text, View view);

// The UTF-8 view can be edited only when decoding loses nothing.
bool Utf8Exact(std::string_view bytes);

struct Line {
  std::string text;
  std::string end;  // "\r\n", "\n", or "" for the last line
};

// Splits at LF (CR LF kept together); a lone CR is a byte of the line. The
// last line has no terminator and may be empty.
std::vector<Line> SplitLines(std::string_view bytes);
std::string JoinLines(const std::vector<Line>& lines);

// The edited line texts with terminators: unchanged lines at the start and
// the end keep their own, changed ones take those of the lines they
// replace, and added ones the file's usual terminator.
std::vector<Line> Relink(const std::vector<Line>& original, const std::vector<std::string>& edited);

// 1-based column of a cursor after `before` on its line: one byte, one
// column, as the DIZ numbering counts.
int ColumnAfter(const QString& before, View view);

// The path the editor was started with: an unquoted path arrives split at
// its blanks (and without a trailing one), a quoted one as one argument.
std::string PathFromArgs(const std::vector<std::string>& args);

// Many NULs: not a text file.
bool LooksBinary(std::string_view bytes);

struct FileRead {
  enum class Status { Ok, Missing, TooBig, Failed } status = Status::Ok;
  std::string bytes;
  std::string error;  // the errno text for Failed, or what the path is instead of a file
  std::size_t size = 0;
};
// Only a regular file is read: a pipe, device, socket or directory is
// refused without being waited on or read from.
FileRead ReadFile(const std::string& hostPath, std::size_t limit = kMaxFileBytes);

// Replaces the file's bytes, keeping its permissions; returns the errno
// text, empty on success. A failed write leaves the old file as it was.
std::string WriteFile(const std::string& hostPath, std::string_view bytes);

}  // namespace kelvo::notepad
