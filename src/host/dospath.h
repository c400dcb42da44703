// DOS path text: "x:\dir\file", a drive root keeps its backslash ("d:\").
// Case rules are ASCII only; bytes >= 0x80 pass through untouched.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvo::dos {

std::string Lower(std::string_view text);
std::string Upper(std::string_view text);
bool EqualNoCase(std::string_view a, std::string_view b);

// The drive letter in lower case, or 0 when the path does not start with "x:".
char DriveLetter(std::string_view path);
bool IsDriveRoot(std::string_view path);  // "x:\" exactly
bool IsAbsolute(std::string_view path);   // "x:\..."

// dir + "\" + name, without doubling a trailing backslash.
std::string Join(std::string_view dir, std::string_view name);
// "c:\a\b" -> "c:\a"; "c:\a" -> "c:\"; a root stays itself.
std::string Parent(std::string_view path);
// Everything after the last backslash (the whole text when there is none).
std::string FileNamePart(std::string_view path);
// The components after "x:\", empty ones dropped; "/" counts as a separator.
std::vector<std::string> Components(std::string_view path);

// DOS wildcard match, case-insensitive: '*' any run, '?' one character.
// "*.*" matches every name, also one without a dot.
bool MatchWildcard(std::string_view pattern, std::string_view name);
bool HasWildcard(std::string_view text);

}  // namespace kelvo::dos
