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

#include "host/unique_fd.h"

namespace kelvo::host {

namespace {

// flock belongs to an open file description: a second one in this process
// would wait for the first for ever. Each directory is opened once and
// counted.
struct Held {
  UniqueFd fd;
  int count = 0;
};
std::mutex gMutex;
std::map<std::pair<unsigned long long, unsigned long long>, Held> gHeld;

}  // namespace

DirectoryLock::DirectoryLock(const std::string& hostDir, const std::function<void()>& waiting,
                             const std::function<bool()>& tick) {
  UniqueFd fd(::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) {
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
      held_ = counted_ = true;
      return;
    }
  }
  bool told = false;
  for (;;) {
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      held_ = true;
      return;
    }
    if (!told && waiting) waiting();
    told = true;
    if (tick && !tick()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::lock_guard<std::mutex> guard(gMutex);
  gHeld[{device_, inode_}] = Held{std::move(fd), 1};
  held_ = counted_ = true;
}

DirectoryLock::DirectoryLock(const std::string& hostDir, NoWait) {
  UniqueFd fd(::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) return;
  std::lock_guard<std::mutex> guard(gMutex);
  if (gHeld.count({st.st_dev, st.st_ino})) {
    busy_ = true;
    return;
  }
  int result;
  do {
    result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    busy_ = errno == EWOULDBLOCK;
    return;
  }
  device_ = st.st_dev;
  inode_ = st.st_ino;
  gHeld[{device_, inode_}] = Held{std::move(fd), 1};
  held_ = counted_ = true;
}

DirectoryLock::~DirectoryLock() {
  if (!counted_) return;
  std::lock_guard<std::mutex> guard(gMutex);
  auto it = gHeld.find({device_, inode_});
  if (it == gHeld.end() || --it->second.count > 0) return;
  gHeld.erase(it);  // its descriptor closes, and the lock goes with it
}

}  // namespace kelvo::host
