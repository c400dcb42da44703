#include "support/temp_drives.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>

#include "host/host_config.h"

namespace kelvo::testing {

FixedClock::FixedClock() {
  time.tm_year = 98;
  time.tm_mon = 11;
  time.tm_mday = 7;
  time.tm_hour = 21;
  time.tm_min = 5;
  time.tm_sec = 9;
}

TempDrives::TempDrives() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kelvo-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  for (char letter : {'c', 'd', 'e'}) {
    std::filesystem::create_directories(root_ + "/" + letter);
    table.Map(letter, root_ + "/" + letter);
  }
  std::filesystem::create_directories(root_ + "/c/app");
  const std::string tools = KELVO_APP_BUILD_DIR;
  for (const char* tool : host::kStandIns) programs.Set(tool, tools + "/" + tool);
}

TempDrives::~TempDrives() {
  std::error_code ec;
  // Read-only leftovers must not stop the clean-up.
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(root_, ec);
}

std::string TempDrives::Host(char letter, const std::string& rel) const {
  std::string base = root_ + "/" + letter;
  return rel.empty() ? base : base + "/" + rel;
}

void TempDrives::WriteFile(const std::string& hostPath, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + hostPath);
}

std::string TempDrives::ReadFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + hostPath);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDrives::FileExists(const std::string& hostPath) {
  return std::filesystem::exists(hostPath);
}

std::string OnDriveZ(const std::string& hostPath) {
  std::string dos = "z:" + hostPath;
  std::replace(dos.begin(), dos.end(), '/', '\\');
  return dos;
}

JobSettings DemoRelease(const std::string& root) {
  TempDrives::WriteFile(root + "/src/readme.txt", "read me\r\n");
  TempDrives::WriteFile(root + "/rel/file_id.diz", "DEMO RELEASE\r\n");
  TempDrives::WriteFile(root + "/rel/demo.nfo", "notes\r\n");
  std::filesystem::create_directories(root + "/zips");
  JobSettings job;
  job.SourcePath = OnDriveZ(root + "/src");
  job.DizPath = OnDriveZ(root + "/rel/file_id.diz");
  job.NfoPath = OnDriveZ(root + "/rel/demo.nfo");
  job.ZipStorageDir = OnDriveZ(root + "/zips");
  job.ZipBaseName = "DEMO";
  job.Compression = 0;
  return job;
}

TestApp::TestApp()
    : fs(drives.table), runner(fs, drives.programs), ctx(fs, runner, ui, clock, "c:\\app") {}

std::string WorkCopyPath(const std::string& appDir, const std::string& name) {
  return appDir + "\\temp\\~kelvo" + std::to_string(::getpid()) + "\\" + name;
}

pid_t StartWithDrives(const TempDrives& drives, const std::string& program,
                      std::vector<std::string> args) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string_view var(*e);
    // Without a display the program takes the offscreen platform by itself.
    if (!var.starts_with("KELVO32_DRIVES=") && !var.starts_with("DISPLAY=") &&
        !var.starts_with("WAYLAND_DISPLAY="))
      env.emplace_back(*e);
  }
  env.push_back(std::string(host::DriveTable::kEnvVar) + "=" + drives.table.Serialize());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 256 + WTERMSIG(status);
}

}  // namespace kelvo::testing
