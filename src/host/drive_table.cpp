#include "host/drive_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "host/dospath.h"
#include "host/unique_fd.h"

namespace kelvo::host {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The one entry of the directory open as dirFd whose name equals name
// ignoring ASCII case, or "".
std::string UniqueCaseMatch(int dirFd, const std::string& name) {
  // dirFd is an O_PATH descriptor, which can't be read: open the directory
  // itself for the listing.
  UniqueFd fd(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return {};
  DIR* d = ::fdopendir(fd.get());
  if (!d) return {};
  fd.release();  // the listing owns it now
  std::string found;
  int count = 0;
  while (dirent* e = ::readdir(d)) {
    if (dos::EqualNoCase(e->d_name, name)) {
      found = e->d_name;
      ++count;
    }
  }
  ::closedir(d);
  return count == 1 ? found : std::string();
}

// An entry of a KELVO32_DRIVES line as shown in a message: control
// characters spelled out and a long entry cut, so that a hostile value can
// neither drive the terminal nor bury the message.
std::string ShownEntry(std::string_view entry) {
  constexpr size_t kShown = 60;
  std::string out;
  for (char c : entry.substr(0, kShown)) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  if (entry.size() > kShown) out += "...";
  return out;
}

std::string Trim(std::string s) {
  auto b = s.find_first_not_of(" \t\r\n");
  auto e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

void ProgramTable::Set(std::string_view dosName, std::string hostPath) {
  programs_[KeyOf(dosName)] = std::move(hostPath);
}

std::string ProgramTable::KeyOf(std::string_view word) {
  auto slash = word.find_last_of("\\/:");
  if (slash != std::string_view::npos) word.remove_prefix(slash + 1);
  std::string key = dos::Lower(word);
  for (const char* ext : {".exe", ".pif", ".com"}) {
    if (key.size() > 4 && key.ends_with(ext)) {
      key.resize(key.size() - 4);
      break;
    }
  }
  return key;
}

std::optional<std::string> ProgramTable::Resolve(std::string_view word) const {
  auto it = programs_.find(KeyOf(word));
  if (it == programs_.end()) return std::nullopt;
  return it->second;
}

DriveTable DriveTable::Defaults() {
  DriveTable table;
  const char* home = std::getenv("HOME");
  std::string homeDir = home && *home ? NormaliseHostPath(home) : "/";
  table.Map('c', homeDir + "/.local/share/kelvo32/drive_c", true);
  table.Map('h', homeDir);
  table.Map('z', "/");
  return table;
}

void DriveTable::Map(char letter, std::string hostRoot, bool createOnUse, std::string label) {
  letter = dos::Lower(std::string(1, letter))[0];
  drives_[letter] = Drive{letter, NormaliseHostPath(hostRoot), createOnUse, std::move(label)};
}

void DriveTable::Unmap(char letter) {
  drives_.erase(dos::Lower(std::string(1, letter))[0]);
}

std::optional<std::string> DriveTable::Root(char letter) const {
  auto it = drives_.find(dos::Lower(std::string(1, letter))[0]);
  if (it == drives_.end()) return std::nullopt;
  if (it->second.createOnUse && !Exists(it->second.root)) {
    std::error_code ec;
    std::filesystem::create_directories(it->second.root, ec);
  }
  return it->second.root;
}

std::string DriveTable::Label(char letter) const {
  auto it = drives_.find(dos::Lower(std::string(1, letter))[0]);
  return it == drives_.end() ? std::string() : it->second.label;
}

std::vector<DriveTable::Drive> DriveTable::Drives() const {
  std::vector<Drive> out;
  for (const auto& [letter, drive] : drives_) out.push_back(drive);
  return out;
}

std::optional<std::string> DriveTable::ToHost(std::string_view dosPath, std::string* whyNot) const {
  auto refuse = [whyNot](std::string reason) -> std::optional<std::string> {
    if (whyNot) *whyNot = std::move(reason);
    return std::nullopt;
  };
  if (dosPath.find('\0') != std::string_view::npos) return refuse("path not found");
  char letter = dos::DriveLetter(dosPath);
  if (!letter) return refuse("path not found");
  auto root = Root(letter);
  if (!root) return refuse("path not found");

  // ".." is lexical, so the walk below only ever descends and each step
  // costs one look at one directory.
  std::vector<std::string> parts;
  for (auto& comp : dos::Components(dosPath)) {
    if (comp == ".") continue;
    if (comp == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(comp));
  }
  // Case matching keeps every length, so the limits can be checked before
  // the disk is touched.
  size_t length = parts.empty() || *root != "/" ? root->size() : 0;
  for (const auto& part : parts) {
    if (part.size() > NAME_MAX)
      return refuse("a name in it is too long for the host (" + std::to_string(part.size()) +
                    " bytes, at most " + std::to_string(NAME_MAX) + ")");
    length += 1 + part.size();
  }
  if (length >= PATH_MAX)
    return refuse("the path is too long for the host (" + std::to_string(length) +
                  " bytes, at most " + std::to_string(PATH_MAX - 1) + ")");

  std::string host = *root;
  host.reserve(length);
  // The directory reached so far; closed (-1) once a component is missing,
  // after which the rest is kept as written.
  UniqueFd dir(::open(root->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string& comp = parts[i];
    if (dir.get() >= 0) {
      struct stat st;
      if (::fstatat(dir.get(), comp.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        std::string match = UniqueCaseMatch(dir.get(), comp);
        if (match.empty()) {
          dir.reset();
        } else {
          comp = std::move(match);
        }
      }
      if (dir.get() >= 0 && i + 1 < parts.size())
        dir = UniqueFd(::openat(dir.get(), comp.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (host != "/") host += '/';
    host += comp;
  }
  return host;
}

std::optional<std::string> DriveTable::ToDos(std::string_view hostPath) const {
  std::string path = NormaliseHostPath(hostPath);
  const Drive* best = nullptr;
  for (const auto& [letter, drive] : drives_) {
    const std::string& root = drive.root;
    bool under = root == "/" || path == root ||
                 (path.size() > root.size() && path.starts_with(root) && path[root.size()] == '/');
    if (under && (!best || root.size() > best->root.size())) best = &drive;
  }
  if (!best) return std::nullopt;
  std::string rest = best->root == "/" ? path.substr(1) : path.substr(best->root.size());
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  std::string dosPath = std::string(1, best->letter) + ":\\";
  for (char c : rest) dosPath += (c == '/') ? '\\' : c;
  return dosPath;
}

void DriveTable::LoadIni(const std::string& hostIniPath, ProgramTable* programs) {
  std::ifstream in(hostIniPath, std::ios::binary);
  ApplyIni(std::string(std::istreambuf_iterator<char>(in), {}), programs);
}

void DriveTable::ApplyIni(std::string_view iniText, ProgramTable* programs) {
  std::string line, section;
  while (!iniText.empty()) {
    auto end = iniText.find('\n');
    line = iniText.substr(0, end);
    iniText.remove_prefix(end == std::string_view::npos ? iniText.size() : end + 1);
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = dos::Lower(line.substr(1, line.size() - 2));
      continue;
    }
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    // A root must survive Serialize() in an environment variable: no NUL, no
    // entry separator.
    bool lineSafe = value.find_first_of(std::string_view("\0\x1f", 2)) == std::string::npos;
    if (section == "drives" && key.size() == 1 &&
        std::isalpha(static_cast<unsigned char>(key[0])) && !value.empty() && value[0] == '/' &&
        lineSafe) {
      Map(key[0], value);
    } else if (section == "programs" && programs && !ProgramTable::KeyOf(key).empty() &&
               !value.empty()) {
      programs->Set(key, value);
    }
  }
}

std::string DriveTable::Serialize() const {
  // letter, flag, root; entries separated by NUL-free '\x1f' (never in a path
  // we would map from an ini or a test).
  std::string out;
  for (const auto& [letter, drive] : drives_) {
    if (!out.empty()) out += '\x1f';
    out += letter;
    out += drive.createOnUse ? '+' : '=';
    out += drive.root;
  }
  return out;
}

std::optional<DriveTable> DriveTable::Deserialize(std::string_view text, std::string* problem) {
  DriveTable table;
  for (size_t number = 1; !text.empty(); ++number) {
    auto end = text.find('\x1f');
    std::string_view entry = text.substr(0, end);
    std::string wrong;
    if (entry.empty()) {
      wrong = "is empty";
    } else if (dos::DriveLetter(std::string(1, entry[0]) + ":") == 0) {
      wrong = "does not start with a drive letter";
    } else if (entry.size() < 2 || (entry[1] != '=' && entry[1] != '+')) {
      wrong = "has no '=' or '+' after its letter";
    } else if (entry.size() < 3 || entry[2] != '/') {
      wrong = "does not name an absolute host directory";
    } else if (table.drives_.count(dos::Lower(entry.substr(0, 1))[0])) {
      wrong = "names its drive a second time";
    }
    if (!wrong.empty()) {
      if (problem)
        *problem = "entry " + std::to_string(number) + " '" + ShownEntry(entry) + "' " + wrong;
      return std::nullopt;
    }
    table.Map(entry[0], std::string(entry.substr(2)), entry[1] == '+');
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
    // A separator at the very end leaves an empty last entry.
    if (text.empty()) {
      if (problem) *problem = "entry " + std::to_string(number + 1) + " '' is empty";
      return std::nullopt;
    }
  }
  return table;
}

std::string NormaliseHostPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string current;
  auto flush = [&] {
    if (current == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!current.empty() && current != ".") {
      parts.push_back(current);
    }
    current.clear();
  };
  for (char c : path) {
    if (c == '/') {
      flush();
    } else {
      current += c;
    }
  }
  flush();
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

}  // namespace kelvo::host
