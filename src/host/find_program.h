// Programs found on the PATH, as a shell would find them (without one).
#pragma once

#include <string>

namespace kelvo::host {

// The first executable ordinary file called `name` in a folder of the PATH,
// or empty. A file that is `notThis` (the same file, by any path) is passed
// over, so that a stand-in named like the program it runs never finds
// itself.
std::string FindOnPath(const std::string& name, const std::string& notThis = {});

}  // namespace kelvo::host
