// Another process holds a directory as a run of Kelvo32 does (an flock on
// the directory), until Release(): the test's own process can't stand in
// for another run, since it takes its own locks again at once.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace kelvo::testing {

struct HeldElsewhere {
  explicit HeldElsewhere(const std::string& hostDir) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
    pid = ::fork();
    if (pid == 0) {
      ::close(release[1]);  // else the read below never sees the end
      ::close(ready[0]);
      int fd = ::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY);
      bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
      char c = locked ? 'y' : 'n';
      if (::write(ready[1], &c, 1) != 1) ::_exit(2);
      ::read(release[0], &c, 1) < 0 ? ::_exit(2) : ::_exit(0);
    }
    char c = 0;
    if (::read(ready[0], &c, 1) != 1 || c != 'y') throw std::runtime_error("not held");
    releaseFd = release[1];
    ::close(ready[0]);
    ::close(ready[1]);
    ::close(release[0]);
  }
  void Release() {
    if (pid <= 0) return;
    ::close(releaseFd);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
  ~HeldElsewhere() { Release(); }
  HeldElsewhere(const HeldElsewhere&) = delete;
  HeldElsewhere& operator=(const HeldElsewhere&) = delete;
  pid_t pid = -1;
  int releaseFd = -1;
};

}  // namespace kelvo::testing
