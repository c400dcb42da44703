#include "host/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/unique_fd.h"

namespace kelvo::host {

namespace {

bool StatPath(const std::string& path, struct stat& st) {
  return ::stat(path.c_str(), &st) == 0;
}

void CopyBytes(int in, int out, std::string_view from, std::string_view to) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("read", from, errno);
    }
    if (n == 0) return;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        ThrowErrno("write", to, errno);
      }
      done += w;
    }
  }
}

}  // namespace

FileSystem::FileSystem(DriveTable drives) : drives_(std::move(drives)) {}

void FileSystem::ChangeDrive(char letter) {
  letter = dos::DriveLetter(std::string(1, letter) + ":");
  if (!letter || !drives_.Root(letter))
    throw HostError("change to drive", std::string(1, letter) + ":", "drive not mapped");
  currentDrive_ = letter;
}

std::string FileSystem::CurrentDir(char letter) const {
  if (!letter) letter = currentDrive_;
  letter = dos::Lower(std::string(1, letter))[0];
  auto it = currentDirs_.find(letter);
  return it != currentDirs_.end() ? it->second : std::string(1, letter) + ":\\";
}

void FileSystem::ChangeDir(std::string_view dosDir) {
  std::string abs = Absolute(dosDir);
  if (!IsDirectory(abs)) throw HostError("change to directory", abs, "No such directory");
  char letter = dos::DriveLetter(abs);
  currentDirs_[letter] =
      dos::IsDriveRoot(abs) ? abs : (abs.back() == '\\' ? abs.substr(0, abs.size() - 1) : abs);
}

std::string FileSystem::Absolute(std::string_view dosPath) const {
  if (dos::IsAbsolute(dosPath)) return std::string(dosPath);
  char letter = dos::DriveLetter(dosPath);
  std::string_view rest = dosPath;
  if (letter) {
    rest.remove_prefix(2);  // "x:name" is relative to x's current directory
  } else {
    letter = currentDrive_;
  }
  if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/'))
    return std::string(1, letter) + ":" + std::string(rest);
  if (rest.empty()) return CurrentDir(letter);
  return dos::Join(CurrentDir(letter), rest);
}

std::optional<std::string> FileSystem::HostPath(std::string_view dosPath) const {
  return drives_.ToHost(Absolute(dosPath));
}

std::string FileSystem::RequireHostPath(std::string_view dosPath, std::string_view verb) const {
  std::string whyNot;
  auto host = drives_.ToHost(Absolute(dosPath), &whyNot);
  if (!host) throw HostError(verb, dosPath, whyNot);
  return *host;
}

std::string FileSystem::HostCurrentDir() const {
  return drives_.ToHost(CurrentDir()).value_or("/");
}

std::string FileSystem::LowerChosenPath(std::string_view dosPath) const {
  std::string lower = dos::Lower(dosPath);
  auto asChosen = HostPath(dosPath);
  return asChosen && HostPath(lower) == asChosen ? lower : std::string(dosPath);
}

bool FileSystem::ExistsAsFile(std::string_view dosPath) const {
  auto host = HostPath(dosPath);
  struct stat st;
  return host && StatPath(*host, st) && S_ISREG(st.st_mode);
}

bool FileSystem::ExistsWithDirectories(std::string_view dosPath) const {
  std::string abs = Absolute(dosPath);
  if (abs.ends_with('\\')) abs += "*.*";
  return !List(abs, true, true).empty();
}

bool FileSystem::IsDirectory(std::string_view dosPath) const {
  auto host = HostPath(dosPath);
  struct stat st;
  return host && StatPath(*host, st) && S_ISDIR(st.st_mode);
}

bool FileSystem::Exists(std::string_view dosPath) const {
  auto host = HostPath(dosPath);
  struct stat st;
  return host && ::lstat(host->c_str(), &st) == 0;
}

bool FileSystem::SameFile(std::string_view a, std::string_view b) const {
  auto hostA = HostPath(a), hostB = HostPath(b);
  struct stat sa, sb;
  return hostA && hostB && StatPath(*hostA, sa) && StatPath(*hostB, sb) && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::vector<std::string> FileSystem::List(std::string_view dosPattern, bool wantDirs,
                                          bool wantFiles) const {
  std::string abs = Absolute(dosPattern);
  if (dos::IsDriveRoot(abs)) abs += "*.*";
  std::string dir = dos::Parent(abs);
  std::string pattern = dos::FileNamePart(abs);
  std::vector<std::string> names;
  auto hostDir = drives_.ToHost(dir);
  if (!hostDir) return names;
  std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(hostDir->c_str()), ::closedir);
  if (!d) {
    // No such directory is DOS's "file not found": nothing matches. One
    // that is there but cannot be read must not pass for empty.
    if (errno == ENOENT || errno == ENOTDIR) return names;
    ThrowErrno("list", dir, errno);
  }
  for (;;) {
    errno = 0;
    dirent* e = ::readdir(d.get());
    if (!e) {
      if (errno != 0) ThrowErrno("list", dir, errno);
      break;
    }
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!dos::MatchWildcard(pattern, name)) continue;
    struct stat st;
    if (!StatPath(*hostDir + "/" + name, st)) continue;
    if ((wantDirs && S_ISDIR(st.st_mode)) || (wantFiles && S_ISREG(st.st_mode)))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> FileSystem::ListFiles(std::string_view dosPattern) const {
  return List(dosPattern, false, true);
}

void FileSystem::MakeDir(std::string_view dosDir) {
  std::string host = RequireHostPath(dosDir, "make directory");
  if (::mkdir(host.c_str(), 0777) != 0) ThrowErrno("make directory", dosDir, errno);
}

void FileSystem::RemoveDir(std::string_view dosDir) {
  std::string host = RequireHostPath(dosDir, "remove directory");
  if (::rmdir(host.c_str()) != 0) ThrowErrno("remove directory", dosDir, errno);
}

void FileSystem::CopyFile(std::string_view from, std::string_view to) {
  std::string src = RequireHostPath(from, "copy");
  std::string dst = RequireHostPath(to, "copy to");
  UniqueFd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) ThrowErrno("open", from, errno);
  struct stat sst, dstat;
  if (::fstat(in.get(), &sst) != 0) ThrowErrno("read", from, errno);
  if (!S_ISREG(sst.st_mode)) throw HostError("copy", from, "not a file");
  if (StatPath(dst, dstat)) {
    if (dstat.st_dev == sst.st_dev && dstat.st_ino == sst.st_ino)
      throw HostError("copy", from, "source and target are the same file");
    if (IsReadOnly(dst)) throw HostError("copy to", to, "Read-only file");
  }
  // Written beside and renamed over: a link at the target is replaced, not
  // written through, and a failed copy leaves the old target whole.
  FileBeside out(dst, to);
  CopyBytes(in.get(), out.fd(), from, to);
  out.Commit();
}

void FileSystem::DeleteFile(std::string_view dosPath) {
  std::string host = RequireHostPath(dosPath, "delete");
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0) ThrowErrno("delete", dosPath, errno);
  if (S_ISDIR(st.st_mode)) throw HostError("delete", dosPath, "Is a directory");
  if (IsReadOnly(host)) throw HostError("delete", dosPath, "Read-only file");
  if (::unlink(host.c_str()) != 0) ThrowErrno("delete", dosPath, errno);
}

void FileSystem::ClearAttributes(std::string_view dosPath) {
  std::string host = RequireHostPath(dosPath, "set attributes of");
  struct stat st;
  if (!StatPath(host, st)) ThrowErrno("set attributes of", dosPath, errno);
  if (!(st.st_mode & S_IWUSR) && ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
    ThrowErrno("set attributes of", dosPath, errno);
}

std::uint64_t FileSystem::FileLength(std::string_view dosPath) const {
  std::string host = RequireHostPath(dosPath, "measure");
  struct stat st;
  if (!StatPath(host, st)) ThrowErrno("measure", dosPath, errno);
  if (!S_ISREG(st.st_mode)) throw HostError("measure", dosPath, "not a file");
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<FileSystem::Version> FileSystem::FileVersion(std::string_view dosPath) const {
  auto host = HostPath(dosPath);
  struct stat st;
  if (!host || !StatPath(*host, st) || !S_ISREG(st.st_mode)) return std::nullopt;
  return Version{static_cast<std::uint64_t>(st.st_size),
                 static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::optional<std::uint64_t> FileSystem::FreeBytes(std::string_view driveOrPath) const {
  std::string path(driveOrPath);
  if (path.size() == 1) path += ':';
  if (path.size() == 2 && path[1] == ':') path += '\\';
  auto host = HostPath(path);
  auto root = drives_.Root(dos::DriveLetter(Absolute(path)));
  if (!host || !root) return std::nullopt;
  struct statvfs vfs;
  // The path may not exist yet: ask the nearest existing directory above it,
  // but never above the drive's own root (an empty disc drive has none).
  std::string probe = *host;
  while (::statvfs(probe.c_str(), &vfs) != 0) {
    if (probe.size() <= root->size() || errno != ENOENT) return std::nullopt;
    auto slash = probe.find_last_of('/');
    probe = slash == 0 ? "/" : probe.substr(0, slash);
  }
  return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::optional<std::string> FileSystem::ReadWholeFile(std::string_view dosPath,
                                                     std::uint64_t limit) const {
  std::string host = RequireHostPath(dosPath, "open");
  UniqueFd in(::open(host.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) ThrowErrno("open", dosPath, errno);
  struct stat st;
  if (::fstat(in.get(), &st) != 0) ThrowErrno("read", dosPath, errno);
  if (S_ISDIR(st.st_mode)) throw HostError("read", dosPath, "Is a directory");
  std::string bytes;
  ReadOutcome read = ReadToEnd(in.get(), bytes, limit);
  if (read.end == ReadOutcome::End::Failed) ThrowErrno("read", dosPath, read.error);
  if (read.end == ReadOutcome::End::Short) return std::nullopt;
  return bytes;
}

std::unique_ptr<LineReader> FileSystem::OpenRead(std::string_view dosPath) const {
  return std::make_unique<LineReader>(RequireHostPath(dosPath, "open"), dosPath);
}

std::unique_ptr<LineWriter> FileSystem::OpenWrite(std::string_view dosPath, LineWriter::Mode mode) {
  return std::make_unique<LineWriter>(RequireHostPath(dosPath, "create"), mode, dosPath);
}

std::optional<FileSystem::Identity> FileSystem::FileIdentity(std::string_view dosPath) const {
  auto host = HostPath(dosPath);
  struct stat st;
  if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
  return Identity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                  static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace kelvo::host
