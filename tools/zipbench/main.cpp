// zipbench <volumes dir> <zips dir> <diz> <nfo> [--steps | --libzip]
// Wraps every file of the volumes directory into its own zip with the DIZ
// and the NFO, the way the run does it: one batch per zip, volumes named
// bare from their directory. --steps makes one add per file instead;
// --libzip does the same with libzip's own file sources, stored, and no
// component around it (the floor the component stands on). Prints the
// seconds taken.
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "host/filesystem.h"
#include "run/zip_component.h"

namespace {

bool PlainLibzip(const std::string& zipPath, const std::vector<std::string>& files) {
  int err = 0;
  zip_t* z = zip_open(zipPath.c_str(), ZIP_CREATE, &err);
  if (!z) return false;
  for (const auto& file : files) {
    zip_source_t* src = zip_source_file(z, file.c_str(), 0, -1);
    zip_int64_t index =
        src ? zip_file_add(z, std::filesystem::path(file).filename().c_str(), src, 0) : -1;
    if (index < 0 ||
        zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0) {
      zip_discard(z);
      return false;
    }
  }
  if (zip_close(z) == 0) return true;
  zip_discard(z);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: zipbench <volumes dir> <zips dir> <diz> <nfo> [--steps | --libzip]\n");
    return 2;
  }
  std::string mode = argc > 5 ? argv[5] : "";
  auto abs = [](const char* p) { return std::filesystem::absolute(p).lexically_normal().string(); };
  std::string volumes = abs(argv[1]), zips = abs(argv[2]), dizHost = abs(argv[3]),
              nfoHost = abs(argv[4]);
  kelvo::host::DriveTable drives;
  drives.Map('d', volumes);
  drives.Map('e', zips);
  drives.Map('c', "/");
  kelvo::host::FileSystem fs(drives);
  kelvo::ZipComponent zip(fs);
  std::string diz = *drives.ToDos(dizHost);
  std::string nfo = *drives.ToDos(nfoHost);

  auto start = std::chrono::steady_clock::now();
  fs.ChangeDrive('d');
  int number = 0;
  for (const auto& volume : fs.ListFiles("d:\\*.*")) {
    char name[32];
    std::snprintf(name, sizeof name, "demo%03d", ++number);
    if (mode == "--libzip") {
      if (!PlainLibzip(zips + "/" + name + ".zip", {volumes + "/" + volume, dizHost, nfoHost})) {
        std::fprintf(stderr, "can't write '%s.zip'\n", name);
        return 1;
      }
      continue;
    }
    zip.ZipFile = std::string("e:\\") + name;
    auto step = [&](const std::string& file) {
      zip.FilesToAdd = file + "\r";
      if (zip.Add(0) == 0) return true;
      std::fprintf(stderr, "%s\n", zip.LastError().c_str());
      return false;
    };
    if (mode == "--steps") {
      if (!step(volume) || !step(diz) || !step(nfo)) return 1;
    } else {
      kelvo::ZipBatch batch = zip.BeginBatch();
      if (!step(volume) || !step(diz) || !step(nfo)) return 1;
      if (batch.Commit() != 0) {
        std::fprintf(stderr, "%s\n", zip.LastError().c_str());
        return 1;
      }
    }
  }
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", took.count());
  return 0;
}
