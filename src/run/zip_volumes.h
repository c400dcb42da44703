// Wraps every volume of the work folder into its own numbered zip with the
// DIZ, the NFO, the extras and the comment, deleting each volume once its
// zip is complete.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/context.h"
#include "run/sfv.h"
#include "run/zip_component.h"

namespace kelvo {

// The volumes a run zips, and what an interrupted run of the set made.
struct VolumeSet {
  std::vector<std::string> volumes;  // every volume of the set, in name order
  // The SFV lines of the first volumes' zips, made and found sound before:
  // those volumes are gone and are skipped.
  std::vector<SfvLine> made;
  // Hears each zip read back and found sound, before its volume is deleted.
  std::function<void(const ZipCheck&)> zipped;
};

// Zips the set's volumes from run.WorkFolder into ZipStorageDir, in name
// order, so that zip NN always holds volume NN. Each zip is read back
// (ZipComponent::Check) before its volume is deleted; with prefs.WriteSfv
// the set's SFV follows the last zip, then the NFO's picture with
// prefs.WriteNfoPicture. Returns 0, or the zip component's
// result when a zip step or check failed or was aborted (the volume of that
// pass stays); a file that cannot be copied, stamped or deleted, or a
// comment that the zip program could not add, throws host::HostError. A
// noted stop (stop_signal.h) ends it between volumes with kAborted.
std::int16_t ZipVolumes(Context& ctx, ZipComponent& zip, const VolumeSet& set);

// "Zip E&xtra": the zips at level 9 instead of 6.
void SetZipExtra(Context& ctx, bool extra);

// The comment program's command line for a zip path (without ".zip").
std::string ZipCommentCommand(const std::string& zipPath, const std::string& commentPath);
// Runs it for the zip; a comment that was not added throws host::HostError.
void AddZipComment(Context& ctx, const std::string& zipPath);

}  // namespace kelvo
