// What in a source the archiver can't pack as it is: device nodes, FIFOs and
// sockets go into the set as empty files, which the user must hear of.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/filesystem.h"

namespace kelvo {

struct SpecialFiles {
  std::vector<std::string> named;  // "d:\src\dev\null (a device)", the first few
  std::size_t total = 0;
};

// Walks a source directory without following links; a file source (a CD
// image) has nothing below it. Unreadable folders are passed over.
SpecialFiles FindSpecialFiles(const host::FileSystem& fs, const std::string& dosSource,
                              std::size_t named = 10);

// One warning for them all, or empty.
std::string SpecialFilesWarning(const SpecialFiles& found);

}  // namespace kelvo
