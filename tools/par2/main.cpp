// par2: recovery files for a set, made, verified or repaired by Debian's
// par2 (par2cmdline) from the PATH. DOS paths on the command line go through
// the drive table; relative names stay relative to the current folder, which
// the parent set to its own. Its "Processing" and "Repairing" percentages go
// to the progress channel. A create that fails or is stopped leaves none of
// the recovery files it began.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "archiver/child.h"
#include "archiver/par2_progress.h"
#include "host/dospath.h"
#include "host/host_config.h"
#include "host/progress_channel.h"

namespace {

using namespace kelvo;

constexpr int kExitNotFound = 127;

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) names.insert(e->d_name);
    ::closedir(d);
  }
  return names;
}

// "BASE.par2" -> whether `name` is that file or one of its "BASE.vol*.par2".
bool OfRecoverySet(const std::string& name, const std::string& indexName) {
  const std::string stem = indexName.substr(0, indexName.size() - 5);
  return name == indexName || (name.starts_with(stem + ".vol") && name.ends_with(".par2") &&
                               name.size() > stem.size() + 9);
}

int Run(std::vector<std::string> args) {
  if (args.empty()) {
    std::fputs("usage: par2 c|v|r [options] [--] BASE.par2 [files]\n", stderr);
    return 2;
  }
  const std::string par2 = host::FindOnPath("par2", "/proc/self/exe");
  if (par2.empty()) {
    std::fputs("can't start par2: not found on the PATH (Debian's package par2)\n", stderr);
    return kExitNotFound;
  }
  const host::DriveTable drives = host::ToolDrives();
  std::string index;  // the BASE.par2 named, as a host path
  bool files = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string& arg = args[i];
    if (!files && arg == "--") {
      files = true;
      continue;
    }
    if (!files && arg.starts_with('-')) continue;
    if (dos::DriveLetter(arg)) {
      std::string whyNot = "path not found";
      auto host = dos::IsAbsolute(arg) ? drives.ToHost(arg, &whyNot) : std::nullopt;
      if (!host) {
        std::fprintf(stderr, "can't find '%s': %s\n", arg.c_str(), whyNot.c_str());
        return 2;
      }
      arg = *host;
    } else {
      for (char& c : arg)
        if (c == '\\') c = '/';
    }
    if (index.empty()) index = arg;
  }
  const bool create = args[0] == "c" || args[0] == "create";
  const auto slash = index.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : index.substr(0, slash + 1);
  const std::string indexName = slash == std::string::npos ? index : index.substr(slash + 1);
  const std::set<std::string> before = create ? Names(dir) : std::set<std::string>{};

  archiver::ProgressOut progress{host::ProgressChannelFromEnvironment()};
  // Without a channel nobody reads the progress: only par2's errors remain.
  if (progress.fd < 0) args.insert(args.begin() + 1, "-q");
  archiver::Par2Progress parser;
  const int status = archiver::RunChild(
      par2, args, &progress, [&parser](std::string_view bytes) { return parser.Feed(bytes); });
  if (status == 0) {
    progress.Write(100);
  } else if (create && indexName.ends_with(".par2")) {
    for (const std::string& name : Names(dir))
      if (!before.count(name) && OfRecoverySet(name, indexName)) ::unlink((dir + name).c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
}
