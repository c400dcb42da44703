// The RAR and ACE command lines as the stand-ins take them, and what they
// become for 7-Zip (or a real rar). Everything here is pure: paths are
// mapped by a function the caller passes in, and nothing touches the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelvo::archiver {

enum class Flavour { Rar, Ace };

// What a DOS archiver command line asks for.
struct Request {
  Flavour flavour = Flavour::Rar;
  bool recurse = false;           // -r: a directory source is taken whole anyway
  bool assumeYes = false;         // -y
  std::uint64_t volumeBytes = 0;  // 0: one archive, no volumes
  int level = 3;                  // -m0 .. -m5
  std::string archive;            // DOS path as written
  std::vector<std::string> sources;
  std::string excludeList;            // DOS path of the -x@ list, or empty
  std::vector<std::string> switches;  // every switch as written, in order
};

// "can't <verb> '<object>': <reason>", the one line a stand-in prints.
struct ArgError {
  std::string verb, object, reason;
  std::string Text() const;
};

std::variant<Request, ArgError> ParseArchiverArgs(Flavour flavour,
                                                  const std::vector<std::string>& args);

// The 7-Zip level for each archiver level "Store" .. "Maximum!".
std::string SevenZipLevel(int level);

// A source as 7-Zip gets it.
struct HostSource {
  std::string hostPath;  // absolute, no trailing '/' (except "/")
  bool driveRoot = false;
  // A source that is itself a symbolic link: the real path it names. Links
  // are stored as links, so the link itself would be packed, not its files.
  std::string linkTarget = {};
};

// The source argument: a drive root is packed as its contents ("<root>/."),
// a linked source as what it names, anything else under its own name.
std::string SevenZipSourceArg(const HostSource& source);
// The name 7-Zip stores a source's items under ("" for a drive root).
std::string ArchivePrefix(const HostSource& source);

using DosToHost = std::function<std::optional<std::string>(std::string_view dosPath)>;

// One name in a host directory, for the skip entries' patterns.
struct DirEntry {
  std::string name;
  bool directory = false;
};
using ListHostDir = std::function<std::vector<DirEntry>(const std::string& hostDir)>;

// The skip entries with the DOS wildcards of each last component ('*' any
// run, '?' one character, case-insensitive) replaced by the names they
// match in that directory, as the run's load check matches them: a pattern
// ending in '*' takes files and directories, any other pattern files only.
// "dir\*.*" stays as it is (the directory and all below it), and so does an
// entry without a wildcard. A name that itself holds '*' matches itself.
std::vector<std::string> ExpandSkipEntries(const std::vector<std::string>& entries,
                                           const DosToHost& toHost, const ListHostDir& listDir);

// The archive paths that the (expanded) skip entries leave out of the given
// sources: "x:\dir\*.*" names the directory and all below it ("" when that
// is a whole drive), any other entry exactly the one item it spells, '*' and
// '?' included. Relative entries, empty lines and entries outside every source
// name nothing.
std::vector<std::string> ExcludedArchivePaths(const std::vector<std::string>& entries,
                                              const std::vector<HostSource>& sources,
                                              const DosToHost& toHost);

// Whether 7-Zip can read an exclusion from its UTF-8 list file: valid UTF-8,
// no line break, no blank at either end. The rest stay arguments.
bool FitsExclusionList(std::string_view archivePath);

// The 7zz argument vector (without the program name) that writes the set
// `archiveHost` (".7z", split into ".7z.001" ... when volumes are asked for).
// With `progress` 7-Zip prints its percentages on stdout, and nothing else.
// With `listPath`, the exclusions that fit a list file are read from there
// (the caller writes them, one a line), so that no number of them can
// outgrow the argument list.
std::vector<std::string> SevenZipArgs(const Request& request, const std::string& archiveHost,
                                      const std::vector<HostSource>& sources,
                                      const std::vector<std::string>& excludedArchivePaths,
                                      bool progress = false, const std::string& listPath = {});

// The 7z set's name for an archive name: its extension replaced by ".7z".
std::string SevenZipArchiveName(std::string_view archiveFileName);
// The archive name without its extension: the stem every volume starts with.
std::string ArchiveStem(std::string_view archiveFileName);

// A real rar: the same switches in the same order, then "-ol" (links stored
// as links, as with 7-Zip), the paths mapped, and the exclude list replaced
// by `hostListPath` (written from RarExcludeLines).
std::vector<std::string> RarArgs(const Request& request, const std::string& archiveHost,
                                 const std::vector<std::string>& sourcesHost,
                                 const std::string& hostListPath);
// The skip entries with their paths mapped to the host, those under a linked
// source moved under what it links to (rar is given that path); unmappable
// or relative entries are dropped.
std::vector<std::string> RarExcludeLines(const std::vector<std::string>& entries,
                                         const std::vector<HostSource>& sources,
                                         const DosToHost& toHost);

}  // namespace kelvo::archiver
