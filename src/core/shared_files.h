// What a run holds while it uses places other runs may use too: the
// exchange files of c: (every install of one user shares the drive) and the
// storage directory its set's zips are written into. A second run waits,
// saying why: on the run panel in the window, a line on stderr unattended.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/context.h"
#include "host/directory_lock.h"

namespace kelvo {

inline constexpr const char* kWaitingForExchangeFiles =
    "Waiting for another Kelvo32 run to finish with c:\\skip.txt, c:\\size.txt and c:\\~kelvo.diz";
std::string WaitingForZipStorageText(const std::string& storageDir);

// Held for as long as the result lives; nullptr when the wait was given up
// (a stop signal, or `aborted` said so).
std::unique_ptr<host::DirectoryLock> HoldExchangeFiles(Context& ctx,
                                                       const std::function<bool()>& aborted = {});
// The storage directory as a whole: two sets of one base name (or of names
// that share their zips' names) can't be written into it at once.
std::unique_ptr<host::DirectoryLock> HoldZipStorage(Context& ctx,
                                                    const std::function<bool()>& aborted = {});

}  // namespace kelvo
