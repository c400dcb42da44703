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
// Everything after the last separator ("\" or "/", as DOS takes both; the
// whole text when there is none).
std::string FileNamePart(std::string_view path);
// The components after "x:\", empty ones dropped; "/" counts as a separator.
std::vector<std::string> Components(std::string_view path);

// DOS wildcard match, case-insensitive: '*' any run, '?' one character.
// "*.*" matches every name, also one without a dot.
bool MatchWildcard(std::string_view pattern, std::string_view name);
bool HasWildcard(std::string_view text);

// What a DOS name can't hold: '"', '<', '>', '|', '*', '?' and the control
// characters. Kept out of every path the program names, they can never turn
// into a redirection, a second argument or a pattern on a command line or in
// the zip component. Patterns the program builds itself ("dir\*.*",
// "name*") are made after the check.
// The reason a path can't be used, as "can't use 'd:\a>b': a DOS name can't
// hold '>'", or empty when it can.
std::string PathProblem(std::string_view path);
// The same for one name (a zip base name): a separator or ':' is refused too.
std::string NameProblem(std::string_view name);
// A name that stands for a file of its own: not empty, ".", ".." and without
// a separator.
bool IsPlainFileName(std::string_view name);

}  // namespace kelvo::dos
