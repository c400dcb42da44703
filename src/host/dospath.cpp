#include "host/dospath.h"

#include <algorithm>

namespace kelvo::dos {

namespace {
char LowerChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperChar(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}
}  // namespace

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), LowerChar);
  return out;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), UpperChar);
  return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerChar(x) == LowerChar(y);
         });
}

char DriveLetter(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return 0;
  char c = LowerChar(path[0]);
  return (c >= 'a' && c <= 'z') ? c : 0;
}

bool IsDriveRoot(std::string_view path) {
  return path.size() == 3 && DriveLetter(path) != 0 && IsSeparator(path[2]);
}

bool IsAbsolute(std::string_view path) {
  return path.size() >= 3 && DriveLetter(path) != 0 && IsSeparator(path[2]);
}

std::string Join(std::string_view dir, std::string_view name) {
  std::string out(dir);
  if (out.empty() || !IsSeparator(out.back())) out += '\\';
  out += name;
  return out;
}

std::string Parent(std::string_view path) {
  if (IsDriveRoot(path)) return std::string(path);
  auto pos = path.find_last_of("\\/");
  if (pos == std::string_view::npos) return {};
  if (pos == 2 && DriveLetter(path) != 0) return std::string(path.substr(0, 3));
  return std::string(path.substr(0, pos));
}

std::string FileNamePart(std::string_view path) {
  auto pos = path.find_last_of("\\/");
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::vector<std::string> Components(std::string_view path) {
  if (DriveLetter(path) != 0) path.remove_prefix(2);
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (IsSeparator(c)) {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

namespace {
std::string Shown(char c) {
  if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "a control character";
  return std::string("'") + c + "'";
}

char Forbidden(std::string_view text, std::string_view alsoForbidden) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return c;
    if (std::string_view("\"<>|*?").find(c) != std::string_view::npos) return c;
    if (alsoForbidden.find(c) != std::string_view::npos) return c;
  }
  return 0;
}

std::string Problem(std::string_view text, char c) {
  return "can't use '" + std::string(text) + "': a DOS name can't hold " + Shown(c);
}
}  // namespace

std::string PathProblem(std::string_view path) {
  // NUL counts as a control character; find it before the scan below stops.
  if (path.find('\0') != std::string_view::npos) return Problem(path, '\0');
  if (char c = Forbidden(path, {})) return Problem(path, c);
  // A colon belongs to the drive only.
  std::string_view rest = DriveLetter(path) ? path.substr(2) : path;
  if (rest.find(':') != std::string_view::npos) return Problem(path, ':');
  return {};
}

std::string NameProblem(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return Problem(name, '\0');
  if (char c = Forbidden(name, "\\/:")) return Problem(name, c);
  return {};
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/") == std::string_view::npos;
}

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != text.npos;
}

bool MatchWildcard(std::string_view pattern, std::string_view name) {
  // "*.*" is the DOS spelling of "every name".
  if (pattern == "*.*") return true;
  // Iterative glob with one backtracking point.
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerChar(pattern[p]) == LowerChar(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  // A trailing ".*" also matches a name without an extension.
  if (p + 2 == pattern.size() && pattern[p] == '.' && pattern[p + 1] == '*') return true;
  return p == pattern.size();
}

}  // namespace kelvo::dos
