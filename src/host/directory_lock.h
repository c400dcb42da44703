// Keeps two runs of Kelvo32 (any install of one user shares c:) off the same
// files: a directory is held by an flock on the directory itself, so no lock
// file is ever left behind, and a killed run lets go with its last breath.
#pragma once

#include <functional>
#include <string>

namespace kelvo::host {

class DirectoryLock {
 public:
  // Takes the lock on a host directory. While another process holds it,
  // calls `waiting` once (to say why), then `tick` about ten times a second
  // until the lock is free, or until tick returns false (given up: held()
  // is false). A directory this process holds already is taken again at
  // once; one that can't be locked at all (gone, or a file system without
  // locks) counts as held, since there is nothing to wait for.
  DirectoryLock(const std::string& hostDir, const std::function<void()>& waiting,
                const std::function<bool()>& tick);
  // Takes the lock only when nobody holds the directory now, this process
  // included, and never waits: a claim on a folder no run may be using.
  // held() tells whether it was taken, busy() whether someone holds it; a
  // directory that is gone or can't be locked is neither.
  struct NoWait {};
  DirectoryLock(const std::string& hostDir, NoWait);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  bool held() const { return held_; }
  bool busy() const { return busy_; }

 private:
  bool held_ = false;
  bool busy_ = false;
  bool counted_ = false;
  unsigned long long device_ = 0, inode_ = 0;
};

}  // namespace kelvo::host
