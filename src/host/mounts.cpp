#include "host/mounts.h"

#include <fstream>
#include <iterator>
#include <set>

namespace kelvo::host {

namespace {

constexpr std::string_view kVolumeParents[] = {"/media/", "/run/media/", "/mnt/"};
// Field 5 of a mountinfo line, counted from 1.
constexpr int kMountPointField = 5;

bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

// The kernel writes a blank, tab, newline and backslash in a path as "\ooo".
std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::string_view Field(std::string_view line, int number) {
  std::size_t pos = 0;
  for (int i = 1;; ++i) {
    pos = line.find_first_not_of(' ', pos);
    if (pos == std::string_view::npos) return {};
    std::size_t end = line.find(' ', pos);
    if (i == number) return line.substr(pos, end == std::string_view::npos ? end : end - pos);
    if (end == std::string_view::npos) return {};
    pos = end;
  }
}

// A volume lies below one of the parents, never is one itself.
bool UnderVolumeParent(const std::string& path) {
  for (std::string_view parent : kVolumeParents) {
    if (path.size() > parent.size() && path.starts_with(parent)) return true;
  }
  return false;
}

}  // namespace

std::vector<MountedVolume> RemovableVolumes(std::string_view mountinfo) {
  std::vector<MountedVolume> volumes;
  std::set<std::string> seen;
  while (!mountinfo.empty()) {
    std::size_t end = mountinfo.find('\n');
    std::string_view line = mountinfo.substr(0, end);
    mountinfo.remove_prefix(end == std::string_view::npos ? mountinfo.size() : end + 1);

    std::string point = NormaliseHostPath(Unescape(Field(line, kMountPointField)));
    if (!UnderVolumeParent(point) || !seen.insert(point).second) continue;
    volumes.push_back({point, point.substr(point.rfind('/') + 1)});
  }
  return volumes;
}

std::string ReadMountInfo() {
  std::ifstream in("/proc/self/mountinfo", std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AddMountedVolumes(DriveTable& drives, const std::vector<MountedVolume>& volumes) {
  std::set<char> used;
  std::set<std::string> roots;
  for (const auto& drive : drives.Drives()) {
    used.insert(drive.letter);
    roots.insert(drive.root);
  }
  char next = 'd';
  for (const auto& volume : volumes) {
    const std::string root = NormaliseHostPath(volume.mountPoint);
    // The serialised table handed to child processes could not carry it.
    if (root.find('\x1f') != std::string::npos || roots.count(root)) continue;
    while (next <= 'z' && used.count(next)) ++next;
    if (next > 'z') return;
    drives.Map(next, root, false, volume.label);
    used.insert(next);
    roots.insert(root);
  }
}

}  // namespace kelvo::host
