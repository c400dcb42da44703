// size [<dir>] /s /t: the size report of a directory tree on standard output,
// for "c:\size.txt". A block per directory (two spaces and its DOS path in
// upper case, then the bytes of its own files) and, with /t, the line
// "  Total of all files found" and the grand total. /s walks the
// sub-directories. Paths are DOS paths over the drive table handed down by
// the parent; without a path the current directory is measured.
//
// Only ordinary files count. Symbolic links are never followed, so the walk
// stays inside the tree; an entry that cannot be read is reported on stderr,
// counted, and passed over. When the directory itself cannot be read the
// report ends with the totals line and no figure: the total is unknown.

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "host/dospath.h"
#include "host/filesystem.h"
#include "host/host_config.h"
#include "host/unique_fd.h"
#include "source/size_text.h"

namespace {

using kelvo::GroupDigits;
namespace dos = kelvo::dos;

constexpr const char* kTotalsLine = "  Total of all files found";

// Standard output in large writes; every line ends in CR LF.
class Report {
 public:
  ~Report() { Flush(); }
  void Line(std::string_view text) {
    buffer_.append(text);
    buffer_ += "\r\n";
    if (buffer_.size() >= (1 << 16)) Flush();
  }
  bool Flush() {
    if (!buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout) != buffer_.size())
      failed_ = true;
    buffer_.clear();
    if (std::fflush(stdout) != 0) failed_ = true;
    return !failed_;
  }

 private:
  std::string buffer_;
  bool failed_ = false;
};

std::string BytesLine(std::uint64_t bytes, std::uint64_t files) {
  std::string number = GroupDigits(bytes);
  std::string line(number.size() < 16 ? 18 - number.size() : 2, ' ');
  line += number;
  line += " bytes in ";
  line += GroupDigits(files);
  line += files == 1 ? " file" : " files";
  return line;
}

void Problem(const std::string& dosPath, int err) {
  std::fprintf(stderr, "size: can't read '%s': %s\n", dosPath.c_str(), std::strerror(err));
}

// Vanished between listing and reading, or replaced by a link: not part of
// the tree any more, so not a read failure either.
bool Gone(int err) {
  return err == ENOENT || err == ENOTDIR || err == ELOOP;
}

class Walker {
 public:
  Walker(Report& report, bool recurse) : report_(report), recurse_(recurse) {}

  std::uint64_t bytes = 0, files = 0, unreadable = 0;

  // Takes over `root`.
  void Walk(DIR* root, const std::string& dosRoot) {
    std::vector<Frame> stack;
    stack.push_back({root, dosRoot, {}, 0});
    Read(stack.back());
    while (!stack.empty()) {
      Frame& top = stack.back();
      if (top.next == top.subdirs.size()) {
        ::closedir(top.dir);
        stack.pop_back();
        continue;
      }
      const std::string& name = top.subdirs[top.next++];
      std::string dosPath = dos::Join(top.dos, dos::Upper(name));
      kelvo::host::UniqueFd fd(::openat(::dirfd(top.dir), name.c_str(),
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!fd) {
        if (!Gone(errno)) Unreadable(dosPath, errno);
        continue;
      }
      DIR* dir = ::fdopendir(fd.get());
      if (!dir) {
        Unreadable(dosPath, errno);
        continue;
      }
      fd.release();  // the listing owns it now
      stack.push_back({dir, std::move(dosPath), {}, 0});
      Read(stack.back());
    }
  }

 private:
  struct Frame {
    DIR* dir;
    std::string dos;
    std::vector<std::string> subdirs;
    size_t next;
  };

  void Unreadable(const std::string& dosPath, int err) {
    ++unreadable;
    Problem(dosPath, err);
  }

  // Sums the directory's own files, collects its sub-directories and writes
  // its block.
  void Read(Frame& frame) {
    int fd = ::dirfd(frame.dir);
    std::uint64_t here = 0, count = 0;
    for (;;) {
      errno = 0;
      dirent* e = ::readdir(frame.dir);
      if (!e) {
        if (errno != 0) Unreadable(frame.dos, errno);
        break;
      }
      const char* name = e->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      unsigned char type = e->d_type;
      if (type == DT_DIR) {
        if (recurse_) frame.subdirs.emplace_back(name);
        continue;
      }
      if (type != DT_REG && type != DT_UNKNOWN) continue;  // links, devices, pipes
      struct stat st;
      if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (!Gone(errno)) Unreadable(dos::Join(frame.dos, dos::Upper(name)), errno);
        continue;
      }
      if (S_ISREG(st.st_mode)) {
        here += static_cast<std::uint64_t>(st.st_size);
        ++count;
      } else if (S_ISDIR(st.st_mode) && recurse_) {
        frame.subdirs.emplace_back(name);
      }
    }
    std::sort(frame.subdirs.begin(), frame.subdirs.end());
    bytes += here;
    files += count;
    report_.Line("  " + frame.dos);
    report_.Line(BytesLine(here, count));
  }

  Report& report_;
  bool recurse_;
};

// "x:\a\.\b\..\c\" -> "x:\a\c"; ".." never climbs above the drive root.
std::string NormaliseDos(const std::string& absolute) {
  std::vector<std::string> parts;
  for (auto& part : dos::Components(absolute)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out = std::string(1, dos::DriveLetter(absolute)) + ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  return out;
}

// More directories may be open at once than the default limit allows.
void RaiseOpenFileLimit() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

int Run(int argc, char** argv) {
  std::string pathArg;
  bool havePath = false, recurse = false, totals = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.starts_with('/')) {
      for (char c : arg) {
        if (c == '/') continue;
        if (c == 's' || c == 'S') {
          recurse = true;
        } else if (c == 't' || c == 'T') {
          totals = true;
        } else {
          std::fprintf(stderr, "size: invalid switch - %s\n", argv[i]);
          return 2;
        }
      }
    } else if (!havePath) {
      pathArg = arg;
      havePath = true;
    } else {
      std::fprintf(stderr, "size: too many parameters - %s\n", argv[i]);
      return 2;
    }
  }

  kelvo::host::FileSystem fs(kelvo::host::ToolDrives());
  // The parent starts us in the host directory of its current DOS directory.
  bool cwdOnDrive = false;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd)) {
    if (auto dosCwd = fs.Drives().ToDos(cwd)) {
      try {
        fs.ChangeDrive((*dosCwd)[0]);
        fs.ChangeDir(*dosCwd);
        cwdOnDrive = true;
      } catch (const std::exception&) {
      }
    }
  }

  Report report;
  auto fail = [&](const std::string& shown, const std::string& reason) {
    std::fprintf(stderr, "size: can't read '%s': %s\n", shown.c_str(), reason.c_str());
    if (totals) report.Line(kTotalsLine);
    report.Flush();
    return 1;
  };

  if (!dos::IsAbsolute(pathArg) && !cwdOnDrive && dos::DriveLetter(pathArg) == 0)
    return fail(pathArg.empty() ? "." : pathArg, "the current directory is on no drive");
  std::string dosRoot = NormaliseDos(fs.Absolute(pathArg));
  std::string shown = dos::Upper(dosRoot);
  auto host = fs.HostPath(dosRoot);
  if (!host) return fail(shown, "drive not mapped");

  RaiseOpenFileLimit();
  Walker walker(report, recurse);
  kelvo::host::UniqueFd fd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd && errno == ENOTDIR) {
    // A single file stands for itself.
    struct stat st;
    if (::stat(host->c_str(), &st) != 0) return fail(shown, std::strerror(errno));
    std::uint64_t one = S_ISREG(st.st_mode) ? 1 : 0;
    walker.bytes = one ? static_cast<std::uint64_t>(st.st_size) : 0;
    walker.files = one;
    report.Line("  " + shown);
    report.Line(BytesLine(walker.bytes, walker.files));
  } else if (!fd) {
    return fail(shown, std::strerror(errno));
  } else {
    DIR* dir = ::fdopendir(fd.get());
    if (!dir) return fail(shown, std::strerror(errno));
    fd.release();  // the listing owns it now
    walker.Walk(dir, shown);
  }

  if (totals) {
    report.Line(kTotalsLine);
    report.Line(BytesLine(walker.bytes, walker.files));
  }
  if (!report.Flush()) {
    std::fprintf(stderr, "size: can't write the report: %s\n", std::strerror(errno));
    return 1;
  }
  if (walker.unreadable) {
    std::fprintf(stderr, "size: %llu entries could not be read\n",
                 static_cast<unsigned long long>(walker.unreadable));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "size: %s\n", e.what());
    return 1;
  }
}
