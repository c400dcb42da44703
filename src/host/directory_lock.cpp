#include "host/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace kelvo::host {

namespace {

// flock belongs to an open file description: a second one in this process
// would wait for the first for ever. Each directory is opened once and
// counted.
struct Held {
  int fd = -1;
  int count = 0;
};
std::mutex gMutex;
std::map<std::pair<unsigned long long, unsigned long long>, Held> gHeld;

}  // namespace

DirectoryLock::DirectoryLock(const std::string& hostDir, const std::function<void()>& waiting,
                             const std::function<bool()>& tick) {
  int fd = ::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    held_ = true;
    return;
  }
  device_ = st.st_dev;
  inode_ = st.st_ino;
  {
    std::lock_guard<std::mutex> guard(gMutex);
    auto it = gHeld.find({device_, inode_});
    if (it != gHeld.end()) {
      ++it->second.count;
      ::close(fd);
      held_ = counted_ = true;
      return;
    }
  }
  bool told = false;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      ::close(fd);
      held_ = true;
      return;
    }
    if (!told && waiting) waiting();
    told = true;
    if (tick && !tick()) {
      ::close(fd);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::lock_guard<std::mutex> guard(gMutex);
  gHeld[{device_, inode_}] = Held{fd, 1};
  held_ = counted_ = true;
}

DirectoryLock::DirectoryLock(const std::string& hostDir, NoWait) {
  int fd = ::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    return;
  }
  std::lock_guard<std::mutex> guard(gMutex);
  if (gHeld.count({st.st_dev, st.st_ino})) {
    ::close(fd);
    busy_ = true;
    return;
  }
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    busy_ = errno == EWOULDBLOCK;
    ::close(fd);
    return;
  }
  device_ = st.st_dev;
  inode_ = st.st_ino;
  gHeld[{device_, inode_}] = Held{fd, 1};
  held_ = counted_ = true;
}

DirectoryLock::~DirectoryLock() {
  if (!counted_) return;
  std::lock_guard<std::mutex> guard(gMutex);
  auto it = gHeld.find({device_, inode_});
  if (it == gHeld.end() || --it->second.count > 0) return;
  ::close(it->second.fd);  // the lock goes with it
  gHeld.erase(it);
}

}  // namespace kelvo::host
