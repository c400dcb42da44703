// The zip file on disk as libzip reads and writes it through the zip
// component. It behaves like libzip's own file source (the old zip is read
// in place, the new one is written to "<name>.XXXXXX" beside it and renamed
// over it at the end, or removed when the write fails or is cancelled), but
// writes in large blocks: libzip hands over 8 KB at a time, and its own
// file source turns each into a system call, which halves the speed of
// storing a volume.
#pragma once

#include <zip.h>

#include <string>
#include <vector>

namespace kelvo::zip {

// zip_open() on `hostPath` with this file underneath. Null with `error` set
// when it cannot be opened as a zip (a missing file with ZIP_CREATE is a
// new, empty zip). A new zip gets the permissions a new file gets (the
// umask applies); a rewritten one keeps its own. `writeBuffer` is the block
// the writes gather in; it must outlive the zip_t and serve no other zip
// at the same time.
zip_t* OpenZipArchive(const std::string& hostPath, int flags, std::vector<char>& writeBuffer,
                      zip_error_t* error);

}  // namespace kelvo::zip
