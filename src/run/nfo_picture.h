// "NFO p&icture" on the Zip panel: after a run that made zips, the job's
// NFO drawn as BASE-nfo.png beside them, for a release's web page.
#pragma once

#include <string>

#include "core/context.h"

namespace kelvo {

// The program's own setting, never the job's, as "&SFV".
void SetWriteNfoPicture(Context& ctx, bool on);

// ZipStorageDir + "\" + ZipBaseName + "-nfo.png".
std::string NfoPicturePath(const Context& ctx);

// With the setting on and an NFO in the job, its picture at NfoPicturePath;
// nothing otherwise. Throws HostError, which ends the run as the SFV's does.
void WriteRunNfoPicture(Context& ctx);

}  // namespace kelvo
