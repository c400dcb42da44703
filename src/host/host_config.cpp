#include "host/host_config.h"

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace kelvo::host {

namespace {

// A drive table and a program table fit in far less; more is no host.ini.
constexpr std::uint64_t kMaxHostIni = 1 << 20;

// Why a file or folder can't be trusted to name programs: someone other
// than the running user or root owns it, or others may write to it.
std::string Untrusted(const struct stat& st) {
  if (st.st_uid != ::geteuid() && st.st_uid != 0)
    return "belongs to user " + std::to_string(st.st_uid) + ", not to the running user or root";
  if (st.st_mode & (S_IWGRP | S_IWOTH)) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("can be written by its group or by others (mode ") + mode + ")";
  }
  return {};
}

// The text of appHostDir/host.ini; nullopt when there is none or it can't be
// trusted (the reason is then added to warnings). The checks are made on
// the descriptors that are read, so the file can't be swapped in between.
std::optional<std::string> ReadTrustedIni(const std::string& appHostDir,
                                          std::vector<std::string>& warnings) {
  const std::string path = (appHostDir == "/" ? "" : appHostDir) + "/host.ini";
  auto ignore = [&](const std::string& reason) -> std::optional<std::string> {
    warnings.push_back("ignoring '" + path + "': " + reason);
    return std::nullopt;
  };
  UniqueFd dir(::open(appHostDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return std::nullopt;
  // O_NONBLOCK: a FIFO in its place must not hang start-up; it is refused
  // below as no ordinary file.
  UniqueFd file(
      ::openat(dir.get(), "host.ini", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) return std::nullopt;
    if (errno == ELOOP) return ignore("it is a symbolic link");
    return ignore(std::strerror(errno));
  }
  struct stat st;
  if (::fstat(file.get(), &st) != 0) return ignore(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return ignore("it is not an ordinary file");
  if (auto why = Untrusted(st); !why.empty()) return ignore("it " + why);
  if (::fstat(dir.get(), &st) != 0) return ignore(std::strerror(errno));
  if (auto why = Untrusted(st); !why.empty()) return ignore("its folder " + why);

  std::string text;
  ReadOutcome read = ReadToEnd(file.get(), text, kMaxHostIni);
  if (read.end == ReadOutcome::End::Failed) return ignore(std::strerror(read.error));
  if (read.end == ReadOutcome::End::Short) return ignore("it is larger than 1 MB");
  return text;
}

}  // namespace

std::string ExecutableDir() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  auto slash = path.find_last_of('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

HostConfig LoadHostConfig(const std::string& appHostDir) {
  HostConfig config{appHostDir, DriveTable::Defaults(), {}, {}};
  for (const char* tool : kStandIns)
    config.programs.Set(tool, appHostDir + "/" + tool);
  if (auto ini = ReadTrustedIni(appHostDir, config.warnings))
    config.drives.ApplyIni(*ini, &config.programs);
  if (const char* handed = std::getenv(DriveTable::kEnvVar)) {
    // Falling back to the defaults would put files where the parent never
    // meant them to go.
    std::string problem;
    auto table = DriveTable::Deserialize(handed, &problem);
    if (!table) throw HostError("use", DriveTable::kEnvVar, problem);
    config.drives = *table;
  }
  return config;
}

DriveTable ToolDrives() {
  HostConfig config = LoadHostConfig(ExecutableDir());
  if (!std::getenv(DriveTable::kEnvVar)) {
    for (const auto& warning : config.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  }
  return config.drives;
}

FileSystem ToolFileSystem() {
  FileSystem fs(ToolDrives());
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd)) {
    if (auto dos = fs.Drives().ToDos(cwd)) {
      try {
        fs.ChangeDrive(dos::DriveLetter(*dos));
        fs.ChangeDir(*dos);
      } catch (const HostError&) {
        // Relative paths then start at the drive's root.
      }
    }
  }
  return fs;
}

bool HasDisplay() {
  auto named = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return named("DISPLAY") || named("WAYLAND_DISPLAY");
}

}  // namespace kelvo::host
