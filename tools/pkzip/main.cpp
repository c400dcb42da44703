// pkzip <zip> -z: the whole of standard input, byte for byte, becomes the
// comment of <zip>.zip. The zip path is a DOS path, relative ones taken from
// the working directory the parent started us in.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/dospath.h"
#include "host/filesystem.h"
#include "host/host_config.h"
#include "host/host_error.h"
#include "zip/comment.h"

namespace {

using kelvo::host::HostError;

// Up to one byte more than a comment may hold, so that too much is noticed
// without reading an endless input.
std::string ReadComment(std::string_view shownName) {
  std::string bytes;
  char buffer[1 << 16];
  while (bytes.size() <= kelvo::zip::kMaxComment) {
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) kelvo::host::ThrowErrno("read the comment for", shownName, errno);
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

bool EndsWithZip(std::string_view name) {
  return name.size() >= 4 && kelvo::dos::EqualNoCase(name.substr(name.size() - 4), ".zip");
}

int Run(const std::vector<std::string>& args) {
  std::optional<std::string> zip;
  bool comment = false;
  for (const auto& arg : args) {
    if (arg.size() > 1 && (arg[0] == '-' || arg[0] == '/') && arg.find('\\') == std::string::npos) {
      if (kelvo::dos::EqualNoCase(arg.substr(1), "z")) {
        comment = true;
        continue;
      }
      throw HostError("use option", arg, "only -z (zip comment) is known");
    }
    if (zip) throw HostError("use argument", arg, "only one zip may be named");
    zip = arg;
  }
  if (!zip) throw HostError("run", "pkzip", "no zip named (pkzip <zip> -z <comment.txt)");
  if (!comment) throw HostError("run", "pkzip", "nothing to do: only -z (zip comment) is known");

  auto fs = kelvo::host::ToolFileSystem();
  std::string dosZip = fs.Absolute(*zip) + ".zip";
  // A name given with its extension is taken as it stands.
  if (!fs.ExistsAsFile(dosZip) && EndsWithZip(*zip) && fs.ExistsAsFile(*zip))
    dosZip = fs.Absolute(*zip);
  std::string host = fs.RequireHostPath(dosZip, "open");
  std::string text = ReadComment(dosZip);
  if (auto error = kelvo::zip::WriteComment(host, text, dosZip)) {
    std::fprintf(stderr, "%s\n", error->message.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
