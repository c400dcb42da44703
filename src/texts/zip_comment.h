// The zip comment: a text file the user picks once, kept as a copy in the
// application's "temp" folder and remembered across starts in the fourth
// line of the settings file.
#pragma once

#include <cstdint>
#include <string>

#include "core/context.h"

namespace kelvo::texts {

// The largest comment file accepted, in bytes.
inline constexpr std::uint64_t kMaxZipCommentBytes = 32000;

// "Kelvo32.ini" in the application directory.
std::string SettingsFile(const Context& ctx);

// At start: lines 1 to 3 of the settings file into ctx.settings (held to be
// written back as they were), line 4 into ZipCommentPath. A missing or
// unreadable file leaves them empty; lines it lacks read as empty.
void ReadSettingsFile(Context& ctx);

// At start, after ReadSettingsFile: the comment is on when the remembered
// path names an existing ordinary file.
void SetZipCommentAtStart(Context& ctx);

// The menu item "&Zip comment". Off -> on: asks for a text file of at most
// kMaxZipCommentBytes, copies it to the "temp" folder and remembers the copy.
// On -> off: forgets the copy and deletes it. Only files inside the "temp"
// folder are ever deleted here, whatever the settings file names.
void ToggleZipComment(Context& ctx);

}  // namespace kelvo::texts
