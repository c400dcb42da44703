#include "archiver/child.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "host/host_error.h"
#include "host/progress_channel.h"
#include "host/unique_fd.h"

extern char** environ;

namespace kelvo::archiver {

namespace {

volatile sig_atomic_t gChild = 0;

// An interrupted stand-in passes the signal on, so that the program stops
// and cleans up after itself; ours is the clean-up of what it leaves.
void ForwardSignal(int sig) {
  if (gChild > 0) ::kill(static_cast<pid_t>(gChild), sig);
}

constexpr int kForwarded[] = {SIGINT, SIGTERM, SIGHUP};

// Passes the progress on until the program closes its output.
void RelayProgress(int from, ProgressOut& to, const ProgressParser& parse) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;  // a forwarded signal: the program ends soon
    if (n <= 0) return;
    for (int percent : parse(std::string_view(buffer, static_cast<size_t>(n)))) to.Write(percent);
  }
}

}  // namespace

void ProgressOut::Write(int percent) {
  if (fd < 0 || percent == last) return;
  // A reader that has gone only ends the reporting.
  if (!host::WriteProgress(fd, percent)) fd = -1;
  last = percent;
}

int RunChild(const std::string& program, const std::vector<std::string>& args,
             ProgressOut* progress, const ProgressParser& parse) {
  const int progressFd = progress && parse ? progress->fd : -1;
  std::vector<std::string> argvText = {program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  host::UniqueFd outputRead, outputWrite;
  if (progressFd >= 0) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) host::ThrowErrno("make", "a pipe", errno);
    outputRead.reset(ends[0]);
    outputWrite.reset(ends[1]);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputWrite) posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), 1);
  // A channel whose reader has gone must not end us before our clean-up.
  if (progressFd >= 0) ::signal(SIGPIPE, SIG_IGN);

  sigset_t forwarded, previous, defaults;
  sigemptyset(&forwarded);
  for (int sig : kForwarded) sigaddset(&forwarded, sig);
  defaults = forwarded;
  sigaddset(&defaults, SIGPIPE);
  // Blocked until the child's id is known, so that no signal is lost.
  ::sigprocmask(SIG_BLOCK, &forwarded, &previous);
  struct sigaction action {};
  action.sa_handler = ForwardSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int sig : kForwarded) ::sigaction(sig, &action, nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setsigmask(&attr, &previous);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid;
  int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    throw host::HostError("start", program, std::strerror(rc));
  }
  gChild = pid;
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (outputRead) {
    outputWrite.reset();
    RelayProgress(outputRead.get(), *progress, parse);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw host::HostError("wait for", program, std::strerror(errno));
  }
  gChild = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace kelvo::archiver
