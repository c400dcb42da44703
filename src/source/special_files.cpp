#include "source/special_files.h"

#include <filesystem>
#include <system_error>

namespace kelvo {

namespace {

const char* Kind(std::filesystem::file_type type) {
  switch (type) {
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return "a device";
    case std::filesystem::file_type::fifo:
      return "a FIFO";
    case std::filesystem::file_type::socket:
      return "a socket";
    default:
      return nullptr;
  }
}

}  // namespace

SpecialFiles FindSpecialFiles(const host::FileSystem& fs, const std::string& dosSource,
                              std::size_t named) {
  namespace stdfs = std::filesystem;
  SpecialFiles found;
  auto root = fs.HostPath(dosSource);
  std::error_code ec;
  if (!root || !stdfs::is_directory(stdfs::symlink_status(*root, ec))) return found;
  stdfs::recursive_directory_iterator it(*root, stdfs::directory_options::skip_permission_denied,
                                         ec);
  for (; !ec && it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
    const char* kind = Kind(it->symlink_status(ec).type());
    if (ec) {
      ec.clear();
      continue;
    }
    if (!kind) continue;
    if (++found.total > named) continue;
    const std::string host = it->path().string();
    found.named.push_back(fs.Drives().ToDos(host).value_or(host) + " (" + kind + ")");
  }
  return found;
}

std::string SpecialFilesWarning(const SpecialFiles& found) {
  if (found.total == 0) return {};
  std::string text =
      found.total == 1
          ? "1 file of the source is no ordinary file and goes into the set as an empty file:"
          : std::to_string(found.total) +
                " files of the source are no ordinary files and go into the set as empty files:";
  for (const auto& name : found.named) text += "\r" + name;
  if (found.total > found.named.size())
    text += "\r... and " + std::to_string(found.total - found.named.size()) + " more";
  return text;
}

}  // namespace kelvo
