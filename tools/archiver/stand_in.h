// The body of the wrar and wace stand-ins: a DOS archiver command line in,
// a complete volume set (or nothing) out.
#pragma once

#include <string>
#include <vector>

#include "archiver/archiver_args.h"
#include "archiver/child.h"

namespace kelvo::archiver {

// Exit statuses of our own; the archiver's status is passed on as it is.
inline constexpr int kExitFatal = 2;        // a file or program could not be used
inline constexpr int kExitCommandLine = 7;  // the command line makes no sense

// Maps DOS paths through the drive table handed down by the parent, runs a
// real rar (RAR only, when one is on the PATH) or 7zz, and leaves either the
// complete set or none of it. Errors print one "can't ..." line on stderr.
int RunStandIn(Flavour flavour, const std::vector<std::string>& args);

// Whether a file in the output folder belongs to the set the stem names:
// "<stem>.7z", "<stem>.7z.001", ... or rar's "<stem>.rar", "<stem>.part1.rar",
// "<stem>.r00", ..., and the archive name itself.
bool IsSetMember(const std::string& fileName, const std::string& archiveFileName);

}  // namespace kelvo::archiver
