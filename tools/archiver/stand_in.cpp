#include "archiver/stand_in.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>

#include "archiver/child.h"
#include "archiver/seven_zip_progress.h"
#include "host/dospath.h"
#include "host/host_config.h"
#include "host/host_error.h"
#include "host/ordinary_file.h"
#include "host/progress_channel.h"
#include "host/text_file.h"
#include "host/unique_fd.h"


namespace kelvo::archiver {

namespace {

using host::HostError;

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string HostDirOf(const std::string& hostPath) {
  auto slash = hostPath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

std::string HostNameOf(const std::string& hostPath) {
  auto slash = hostPath.find_last_of('/');
  return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

std::set<std::string> ListNames(const std::string& hostDir) {
  std::set<std::string> names;
  DIR* d = ::opendir(hostDir.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  ::closedir(d);
  return names;
}

class PathMapper {
 public:
  explicit PathMapper(host::DriveTable drives) : drives_(std::move(drives)) {}

  // Absolute DOS paths go through the drive table; a relative one is taken
  // from the current directory, which the parent set to its own.
  std::optional<std::string> ToHost(std::string_view dosPath, std::string* whyNot = nullptr) const {
    if (dos::DriveLetter(dosPath)) {
      if (!dos::IsAbsolute(dosPath)) return std::nullopt;  // "x:name": no per-drive dirs here
      return drives_.ToHost(dosPath, whyNot);
    }
    std::string rel;
    for (char c : dosPath) rel += c == '\\' ? '/' : c;
    if (!rel.empty() && rel[0] == '/') return host::NormaliseHostPath(rel);
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return std::nullopt;
    return host::NormaliseHostPath(std::string(cwd) + "/" + rel);
  }

  std::string Require(std::string_view dosPath, std::string_view verb) const {
    std::string whyNot = "path not found";
    auto host = ToHost(dosPath, &whyNot);
    if (!host) throw HostError(verb, dosPath, whyNot);
    return *host;
  }

  // The DOS form of a host path, for messages.
  std::string Shown(const std::string& hostPath) const {
    return drives_.ToDos(hostPath).value_or(hostPath);
  }

  bool IsDriveRoot(std::string_view dosPath, const std::string& hostPath) const {
    if (dos::IsDriveRoot(dosPath)) return true;
    for (const auto& drive : drives_.Drives())
      if (drive.root == hostPath) return true;
    return false;
  }

 private:
  host::DriveTable drives_;
};

HostSource CheckSource(const PathMapper& paths, const std::string& dosPath) {
  HostSource source;
  source.hostPath = paths.Require(dosPath, "find");
  struct stat st;
  if (::stat(source.hostPath.c_str(), &st) != 0) host::ThrowErrno("find", dosPath, errno);
  int need = S_ISDIR(st.st_mode) ? (R_OK | X_OK) : R_OK;
  if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
    throw HostError("read", dosPath, "not a file or directory");
  if (::access(source.hostPath.c_str(), need) != 0) host::ThrowErrno("read", dosPath, errno);
  source.driveRoot = paths.IsDriveRoot(dosPath, source.hostPath);
  // The source the user named is followed, as the size tool follows it;
  // only the links below it are stored as links.
  struct stat lst;
  if (!source.driveRoot && ::lstat(source.hostPath.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char* real = ::realpath(source.hostPath.c_str(), nullptr);
    if (!real) host::ThrowErrno("find", dosPath, errno);
    source.linkTarget = real;
    std::free(real);
  }
  return source;
}

// Far beyond any skip list a job holds (a million long paths).
constexpr std::uint64_t kListLimit = std::uint64_t{256} << 20;

// The -x@ list: an ordinary file of bounded length, never a FIFO or device
// that would block or never end.
std::vector<std::string> ReadList(const PathMapper& paths, const std::string& dosPath) {
  const std::string hostPath = paths.Require(dosPath, "open");
  host::OrdinaryFile file = host::ReadOrdinaryFile(hostPath, kListLimit);
  switch (file.status) {
    case host::OrdinaryFile::Status::Read:
      break;
    case host::OrdinaryFile::Status::OpenFailed:
      host::ThrowErrno("open", dosPath, file.error);
    case host::OrdinaryFile::Status::ReadFailed:
      host::ThrowErrno("read", dosPath, file.error);
    case host::OrdinaryFile::Status::NotOrdinary:
      throw HostError("read", dosPath,
                      S_ISDIR(file.mode) ? "Is a directory" : "not an ordinary file");
    case host::OrdinaryFile::Status::TooLarge:
      throw HostError("read", dosPath,
                      "longer than " + std::to_string(kListLimit >> 20) + " MiB, no skip list");
  }
  const std::string& bytes = file.bytes;
  std::vector<std::string> lines;
  for (std::string& line : host::SplitLines(bytes))
    if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// The names of a host directory for the skip entries' patterns; links are
// names, not directories, as 7-Zip stores them.
std::vector<DirEntry> ListHostDirectory(const std::string& hostDir) {
  std::vector<DirEntry> entries;
  DIR* d = ::opendir(hostDir.c_str());
  if (!d) return entries;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    bool directory = ::lstat((hostDir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries.push_back({std::move(name), directory});
  }
  ::closedir(d);
  return entries;
}

// A temporary file that is removed when it goes out of scope.
class TempList {
 public:
  explicit TempList(const std::vector<std::string>& lines) {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelvo-skip-XXXXXX";
    if (!host::UniqueFd(::mkstemp(path_.data()))) host::ThrowErrno("create", path_, errno);
    std::string bytes;
    for (const auto& line : lines) bytes += line + "\n";
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) {
      ::unlink(path_.c_str());
      throw HostError("write", path_, std::strerror(errno));
    }
  }
  ~TempList() { ::unlink(path_.c_str()); }
  TempList(const TempList&) = delete;
  TempList& operator=(const TempList&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

int Pack(Flavour flavour, const Request& request) {
  PathMapper paths(host::ToolDrives());
  const std::string archiveHost = paths.Require(request.archive, "create");
  std::vector<HostSource> sources;
  for (const auto& s : request.sources) sources.push_back(CheckSource(paths, s));
  std::vector<std::string> entries;
  if (!request.excludeList.empty()) entries = ReadList(paths, request.excludeList);
  const DosToHost toHost = [&paths](std::string_view dos) { return paths.ToHost(dos); };

  const std::string outDir = HostDirOf(archiveHost);
  const std::string archiveName = HostNameOf(archiveHost);
  const std::string rar = flavour == Flavour::Rar ? FindOnPath("rar") : std::string();
  std::string program = rar;
  if (program.empty()) {
    program = FindOnPath("7zz");
    if (program.empty()) throw HostError("start", "7zz", "not found on the PATH");
  }
  const std::string setHost =
      rar.empty() ? outDir + "/" + SevenZipArchiveName(archiveName) : archiveHost;

  // Adding to an old set would mix its volumes into the new one.
  const std::set<std::string> before = ListNames(outDir);
  for (const auto& name : before) {
    if (IsSetMember(name, HostNameOf(setHost)))
      throw HostError("create", paths.Shown(setHost),
                      "a set of that name is already there (" + name + ")");
  }

  // Taken even for rar, so that no child of ours inherits the channel.
  ProgressOut progress{host::ProgressChannelFromEnvironment()};
  int status;
  if (!rar.empty()) {
    std::vector<std::string> sourcesHost;
    for (const auto& s : sources)
      sourcesHost.push_back(s.linkTarget.empty() ? s.hostPath : s.linkTarget);
    std::optional<TempList> list;
    if (!request.excludeList.empty()) list.emplace(RarExcludeLines(entries, sources, toHost));
    // A real rar reports no progress.
    status =
        RunChild(rar, RarArgs(request, archiveHost, sourcesHost, list ? list->path() : ""));
  } else {
    const std::vector<std::string> excluded = ExcludedArchivePaths(
        ExpandSkipEntries(entries, toHost, ListHostDirectory), sources, toHost);
    std::vector<std::string> listed;
    for (const auto& path : excluded)
      if (FitsExclusionList(path)) listed.push_back(path);
    std::optional<TempList> list;
    if (!listed.empty()) list.emplace(listed);
    SevenZipProgress parser;
    status = RunChild(program,
                      SevenZipArgs(request, setHost, sources, excluded, progress.fd >= 0,
                                   list ? list->path() : std::string()),
                      &progress, [&parser](std::string_view bytes) { return parser.Feed(bytes); });
    // 7-Zip prints now and then, not always its last 100%: a complete set
    // is all of it.
    if (status == 0) progress.Write(100);
  }
  if (status == 0) return 0;

  // Whatever the archiver began is no set: leave none of it.
  const std::string stem = ArchiveStem(archiveName) + ".";
  for (const auto& name : ListNames(outDir)) {
    if (!before.count(name) && name.starts_with(stem)) ::unlink((outDir + "/" + name).c_str());
  }
  std::fprintf(stderr, "%s\n",
               HostError("make", paths.Shown(setHost),
                         (rar.empty() ? "7-Zip" : "rar") + std::string(" ended with status ") +
                             std::to_string(status))
                   .what());
  return status;
}

}  // namespace

bool IsSetMember(const std::string& fileName, const std::string& archiveFileName) {
  if (fileName == archiveFileName) return true;
  const std::string stem = ArchiveStem(archiveFileName);
  if (!fileName.starts_with(stem + ".")) return false;
  std::string_view rest = std::string_view(fileName).substr(stem.size() + 1);
  if (rest == "7z" || rest == "rar") return true;
  if (rest.starts_with("7z.") && AllDigits(rest.substr(3))) return true;
  if (rest.starts_with("part") && rest.ends_with(".rar") &&
      AllDigits(rest.substr(4, rest.size() - 8)))
    return true;
  return rest.size() >= 3 && rest[0] == 'r' && AllDigits(rest.substr(1));
}

int RunStandIn(Flavour flavour, const std::vector<std::string>& args) {
  auto parsed = ParseArchiverArgs(flavour, args);
  if (auto* error = std::get_if<ArgError>(&parsed)) {
    std::fprintf(stderr, "%s\n", error->Text().c_str());
    return kExitCommandLine;
  }
  try {
    return Pack(flavour, std::get<Request>(parsed));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitFatal;
  }
}

}  // namespace kelvo::archiver
