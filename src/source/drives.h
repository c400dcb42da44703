// The work drive ("Drive for Rar's") and the zip storage directory: their
// free space, its texts, and the warnings when it is less than the source.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace kelvo {

// The drive list: one entry per mapped drive, its letter first and beside it
// a mounted volume's label ("d: CDROM") or else the host directory
// ("c: [/home/alice/.local/share/kelvo32/drive_c]").
std::vector<std::string> DriveListEntries(const Context& ctx);
// The entry of one drive; "x:" alone when it is not mapped.
std::string DriveListEntry(const Context& ctx, char letter);

// Free bytes of a drive (a drive list entry, "d:" or "d") or of the volume
// holding a path ("d:\zips"); nullopt when it cannot be read.
std::optional<std::uint64_t> DriveFreeBytes(const Context& ctx, std::string_view drive);

// Megabytes of 1,000,000 bytes; 0 for 1,000,000 bytes or less.
// Whole: to the nearest, halves to the even one. Free: with the fraction, in
// single precision as SourceSize is held, so equal byte counts compare equal.
std::uint64_t WholeMegabytes(std::uint64_t bytes);
float FreeMegabytes(std::uint64_t bytes);

// "Free space on - " CR and " 812 Meg." or "less than 2 Meg.".
std::string WorkDriveFreeTextFor(std::uint64_t freeBytes);
// "Free space " and " 812 M".
std::string ZipDriveFreeTextFor(std::uint64_t freeBytes);

// Start-up: the list shows c:, WorkDrive is c, the text shows its space.
void InitWorkDrive(Context& ctx);
// The drive list shows `entry`; a new drive runs SelectWorkDrive.
void ShowWorkDrive(Context& ctx, const std::string& entry);
// A new drive in the list: one with less than 2,000,000 bytes free, or that
// cannot be read, sends the list back to c: without a message.
void SelectWorkDrive(Context& ctx);
// Warns when the work drive has less free space than the source. Throws
// host::HostError when its free space cannot be read.
void CheckWorkDriveSpace(Context& ctx);

// The zip storage "&Browse".
void ChooseZipStorage(Context& ctx);
// The free-space text for the current ZipStorageDir, without a message.
void ShowZipDriveFreeSpace(Context& ctx);
// Both free-space texts read again (the work drive shown and the zip
// storage's volume), after any action that may have changed them: without
// a message, the chosen drive and directory left as they are.
void RefreshFreeSpace(Context& ctx);

// The host path of each path the panels show (empty where there is none).
void RefreshHostPaths(Context& ctx);

// The host directory of each drive of the drive list, in its order.
std::vector<std::string> DriveListHostRoots(const Context& ctx);

}  // namespace kelvo
