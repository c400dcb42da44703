// What earlier runs left behind, and what this run does about it. A run
// that is aborted, fails or is killed leaves its volumes in its work folder
// (e:\Kelvo004); a killed zip write leaves a temporary beside the zips.
// A new run zips nothing from a leftover: it names the folders and offers
// to remove them (saying which could be resumed, run/resume.h), and removes
// its own set's dead temporaries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace kelvo {

// A work folder of an earlier run that holds nothing but regular files.
struct Leftover {
  std::string dosPath;   // e:\Kelvo004
  std::string hostPath;  // what the user finds it as
  std::uint64_t bytes = 0;
  bool resumable = false;  // holds a set's record: "&Resume" could finish it
};

// The work folders on the job's work drive, named as MakeWorkFolder names
// them, that hold only regular files (no folder, link or device), in the
// order of their numbers. Never the current run's folder, nor one that
// another run holds.
std::vector<Leftover> FindLeftovers(const Context& ctx);

// "90.1 MB" from 1,000,000 bytes on, "4,096 bytes" below.
std::string LeftoverSizeText(std::uint64_t bytes);

// The question the window asks and one line for each folder.
RemovalOffer LeftoverOffer(const std::vector<Leftover>& leftovers);

// Removes a leftover's files and then the folder, while holding it, and
// only while it still holds nothing but regular files. Returns why it was
// not removed (empty when it was, or when another run holds it now).
std::string RemoveLeftover(const Leftover& leftover);

// True for the name of a zip write's temporary of the set `base`:
// base, digits (date stamp, volume number), ".zip." and six letters or
// digits ("DEMO01.zip.a1B2c3"). The base compares as DOS names do.
bool IsZipTemporaryOf(std::string_view name, std::string_view base);

// With the storage directory held, before the checks (a temporary is no
// zip of the set, and no duplicate to ask about): removes the set's zip
// temporaries when the job makes zips. One that can't be removed stays.
void RemoveZipTemporaries(const Context& ctx);

// Before the archiver, with the run's own work folder made: offers the
// leftovers for removal through the Ui and removes them when it says so.
// Returns warnings for what could not be removed.
std::vector<std::string> OfferLeftoverRemoval(Context& ctx);

// At a run's end: when its work folder stays with volumes in it, the view
// names it (DOS and host path) and the run's log says so. Never throws.
void NoteLeftVolumes(Context& ctx);

}  // namespace kelvo
