// The file system as the program sees it: DOS paths over the drive table,
// with a current drive and a current directory per drive, kept here (never
// by a process-wide chdir) and handed to child processes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/drive_table.h"
#include "host/text_file.h"

namespace kelvo::host {

class FileSystem {
 public:
  explicit FileSystem(DriveTable drives);

  const DriveTable& Drives() const { return drives_; }

  // Current drive ('c' at start) and each drive's current directory.
  char CurrentDrive() const { return currentDrive_; }
  void ChangeDrive(char letter);                  // throws when the drive is not mapped
  std::string CurrentDir(char letter = 0) const;  // "x:\..." of that drive
  void ChangeDir(std::string_view dosDir);        // throws when it is no directory
  // The absolute DOS form of a path that may be relative or drive-relative.
  std::string Absolute(std::string_view dosPath) const;
  // Host path of a DOS path; nullopt when its drive is not mapped or the
  // path is too long for the host.
  std::optional<std::string> HostPath(std::string_view dosPath) const;
  // Like HostPath, but throws HostError(verb, path, reason) when there is
  // none: the drive is not mapped or the path is too long for the host.
  std::string RequireHostPath(std::string_view dosPath, std::string_view verb) const;
  std::string HostCurrentDir() const;

  // A path chosen in a dialog, in lower case when the lower-case form still
  // names the same host file; else as chosen, so it always names that file.
  std::string LowerChosenPath(std::string_view dosPath) const;

  // "Exists as a file": the path names an ordinary file. A '*' or '?' in it
  // is part of a name (a file of the source tree may hold one), never a
  // pattern: the names the program checks are DOS names or such files.
  bool ExistsAsFile(std::string_view dosPath) const;
  // "Exists with directories": a listing of the path, directories included,
  // returns at least one name. For "dir\" or "dir\*.*" that means the
  // directory exists and holds at least one entry.
  bool ExistsWithDirectories(std::string_view dosPath) const;
  bool IsDirectory(std::string_view dosPath) const;
  bool Exists(std::string_view dosPath) const;  // anything of that name
  // Both paths name the same existing file or directory.
  bool SameFile(std::string_view a, std::string_view b) const;

  // Names (not paths) of the ordinary files matching a DOS pattern such as
  // "c:\dir\*.*", "c:\dir\name*", "d:\*.iso"; sorted by name so that a
  // listing has a fixed order. A directory that is not there lists nothing;
  // one that cannot be read throws HostError ("can't list"), and so does
  // ExistsWithDirectories.
  std::vector<std::string> ListFiles(std::string_view dosPattern) const;

  void MakeDir(std::string_view dosDir);
  void RemoveDir(std::string_view dosDir);                    // only an empty directory
  void CopyFile(std::string_view from, std::string_view to);  // replaces `to`
  void DeleteFile(std::string_view dosPath);
  void ClearAttributes(std::string_view dosPath);  // read-only off
  std::uint64_t FileLength(std::string_view dosPath) const;
  // What tells that an ordinary file changed: its length and modification
  // time. nullopt when the path names no ordinary file or no mapped drive.
  struct Version {
    std::uint64_t length = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const Version&) const = default;
  };
  std::optional<Version> FileVersion(std::string_view dosPath) const;
  // Which file a path names right now (the entry itself, links not
  // followed); nullopt when there is none.
  struct Identity {
    std::uint64_t device = 0, inode = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const Identity&) const = default;
  };
  std::optional<Identity> FileIdentity(std::string_view dosPath) const;
  // Free bytes of the volume holding a drive ("d", "d:") or path.
  std::optional<std::uint64_t> FreeBytes(std::string_view driveOrPath) const;

  // The bytes of a file of at most `limit` bytes; nullopt for a longer one,
  // of which no more than `limit` + 1 bytes are read. Throws HostError.
  std::optional<std::string> ReadWholeFile(std::string_view dosPath, std::uint64_t limit) const;

  std::unique_ptr<LineReader> OpenRead(std::string_view dosPath) const;
  std::unique_ptr<LineWriter> OpenWrite(std::string_view dosPath,
                                        LineWriter::Mode mode = LineWriter::Mode::Truncate);

 private:
  std::vector<std::string> List(std::string_view dosPattern, bool wantDirs, bool wantFiles) const;

  DriveTable drives_;
  char currentDrive_ = 'c';
  std::map<char, std::string> currentDirs_;  // letter -> absolute DOS dir
};

}  // namespace kelvo::host
