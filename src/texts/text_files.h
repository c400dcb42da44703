// What the release-text operations share: the fixed files they write, the
// editor they start, the lower-casing of chosen paths and the line copy
// that keeps a text's bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/message_titles.h"
#include "host/filesystem.h"
#include "host/text_file.h"

namespace kelvo::texts {

// The numbering preview on the root of c:.
inline constexpr const char* kDizPreviewFile = "c:\\~kelvo.diz";

// The application's "temp" folder: drafts of new texts and the comment copy.
std::string AppTempFolder(const Context& ctx);
// The folder of the DIZ and NFO work copies: "temp\~kelvo<pid>" under the
// application directory, this process's own, made fresh on first use and
// never beside a program file, so no text name can replace one.
std::string WorkCopyFolder(Context& ctx);
// The DIZ as it goes into the current zip: WorkCopyFolder + "\file_id.diz".
std::string DizWorkCopy(Context& ctx);
// The NFO as it goes into the zips, under the NFO's own name.
std::string NfoWorkCopy(Context& ctx, const std::string& nfoPath);
// The zip entry name no NFO may take: the DIZ's.
inline constexpr const char* kDizEntryName = "file_id.diz";
// Removes the work copies this process wrote, and their folder when empty.
void RemoveWorkCopies(Context& ctx);

// Makes the application's "temp" folder when it is missing; throws HostError
// when it cannot be made.
void EnsureAppTempFolder(Context& ctx);

// "Notepad.exe " + path. The program table splits a command line at blanks,
// so a path holding one is passed in double quotes; any other path goes
// exactly as given.
std::string EditorCommandLine(std::string_view path);
// Starts the editor without waiting. A missing editor starts nothing, as a
// missing DOS program would.
void StartEditor(Context& ctx, std::string_view commandLine);

// The box texts of the numbering position: blanks skipped, then the leading
// digits; no digits read as 0. Very long numbers saturate instead of
// overflowing, which any position test then refuses.
std::uint64_t BoxNumber(std::string_view text);

// A text copy, line by line: the source is opened first, so a missing source
// leaves the target untouched, and a target that is the source itself is
// refused before anything is truncated. Throws HostError.
struct LineCopy {
  std::unique_ptr<host::LineReader> in;
  std::unique_ptr<host::LineWriter> out;
};
LineCopy OpenLineCopy(host::FileSystem& fs, std::string_view from, std::string_view to);

}  // namespace kelvo::texts
