#include "core/context.h"

#include "host/dospath.h"
#include "host/host_error.h"

namespace kelvo {

std::tm SystemClock::Now() const {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

Context::Context(host::FileSystem& fs_, host::CommandRunner& runner_, Ui& ui_, const Clock& clock_,
                 std::string appDir_, std::string stateDir_)
    : fs(fs_),
      runner(runner_),
      ui(ui_),
      clock(clock_),
      appDir(std::move(appDir_)),
      stateDir(stateDir_.empty() ? appDir : std::move(stateDir_)) {
  ui.RememberFoldersIn(&prefs.LastFolders);
}

Context::~Context() {
  ui.RememberFoldersIn(nullptr);
}

std::string Context::AppFile(const std::string& name) const {
  return dos::Join(appDir, name);
}

std::string Context::StateFile(const std::string& name) const {
  return dos::Join(stateDir, name);
}

void Context::NoteWritten(const std::string& dosPath) {
  if (auto id = fs.FileIdentity(dosPath)) written_[dos::Lower(dosPath)] = *id;
}

void Context::DeleteIfWritten(const std::string& dosPath) {
  auto it = written_.find(dos::Lower(dosPath));
  if (it == written_.end()) return;
  const auto now = fs.FileIdentity(dosPath);
  const bool ours = now && *now == it->second;
  written_.erase(it);
  if (!ours) return;
  try {
    fs.DeleteFile(dosPath);
  } catch (const host::HostError&) {
    // Clean-up removes what it can.
  }
}

void Context::PlayAppSound(const std::string& name, bool wait) {
  if (auto sound = fs.HostPath(AppFile(name))) ui.PlaySound(*sound, wait);
}

}  // namespace kelvo
