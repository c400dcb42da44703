// Paths chosen in a dialog are stored in lower case, DOS fashion. On this
// host case matters, so a component keeps the user's case where its lower
// form would name another entry, or none while the chosen one exists.
#pragma once

#include <string>
#include <string_view>

#include "host/filesystem.h"

namespace kelvo::host {

// The chosen path in lower case wherever that still names the same file. A
// text that is no absolute DOS path is simply lowered.
std::string LowerChosenPath(const FileSystem& fs, std::string_view dosPath);

}  // namespace kelvo::host
