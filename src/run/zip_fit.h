// "Will it fit the floppy?": at the floppy's archive size, the largest zip
// the job will make, figured before the run from the files as they are
// now, and a warning when it is larger than a formatted 1.44 MB floppy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "zip/size.h"

namespace kelvo {

// A formatted 1.44 MB floppy: 2,847 free clusters of 512 bytes.
constexpr std::uint64_t kFloppyBytes = 1'457'664;
// The archiver's volumes at the floppy's archive size ("-v1440000b", "-v1440").
constexpr std::uint64_t kFloppyVolumeBytes = 1'440'000;

// The entries of the job's largest zip (the first: it always has the NFO and
// the extras) with a full volume, from the files on disk; nullopt with
// `why` set when a chosen file cannot be read.
std::optional<std::vector<zip::SizedEntry>> LargestZipEntries(const Context& ctx, std::string& why);

// Sets view.ZipFitText and view.ZipFitWarning for the job; both empty but at
// the floppy's archive size with zips. Figures again only when a field it
// depends on has changed since the last time, or when the Zip panel shows.
void RefreshZipFit(Context& ctx);

}  // namespace kelvo
