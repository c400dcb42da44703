// The extra item of the Nfo panel: one file, or every file of a directory,
// added to each zip that gets the NFO.
#pragma once

#include <string>

#include "core/context.h"

namespace kelvo::texts {

// The click of "&File" or "&Directory": selects it and enables "B&rowse".
// The extra path stays as it is.
void SelectExtraKind(Context& ctx, ExtraKindChoice clicked);

// "B&rowse". With "&File" a cancelled or failing dialog drops the extra;
// with "&Directory" a cancel keeps it and an empty answer drops it.
void BrowseExtra(Context& ctx);

// What the zip packaging adds for the extra: the file itself, or the
// directory's "*.*" pattern; empty when there is no extra.
std::string ExtraZipEntry(const JobSettings& job);

}  // namespace kelvo::texts
