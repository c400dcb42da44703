#include "host/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "host/dospath.h"
#include "host/progress_channel.h"
#include "host/stop_signal.h"

extern char** environ;

namespace kelvo::host {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Words of a line with the offset just past each one.
struct Word {
  std::string text;
  size_t end;
};

std::optional<std::vector<Word>> SplitWithOffsets(std::string_view line) {
  std::vector<Word> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        word += line[i];
      }
    }
    if (quoted) return std::nullopt;
    words.push_back({word, i});
  }
  return words;
}

bool IsInterpreter(std::string_view word) {
  return ProgramTable::KeyOf(word) == "command";
}

// A program told to stop that has not ended after this long is ended with
// its whole process group: a hung archiver must not hold the run for ever.
constexpr auto kStopGrace = std::chrono::seconds(15);

struct Waited {
  int exitStatus;
  bool stopAsked;
};

// Reads what the progress pipe holds now and reports each percentage; the
// pipe is closed at its end. True when something was reported.
bool DrainProgress(int& fd, ProgressLines& lines, const WaitCallbacks* callbacks) {
  bool reported = false;
  char buffer[512];
  while (fd >= 0) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      ::close(fd);
      fd = -1;
      break;
    }
    for (int percent : lines.Feed(std::string_view(buffer, static_cast<size_t>(n)))) {
      if (callbacks && callbacks->progress) callbacks->progress(percent);
      reported = true;
    }
  }
  return reported;
}

// Waits for the child without a time limit, stopping it (once) when a stop
// is noted and `onStop` allows, or when the caller's tick asks. The wait
// wakes up now and then to look at the stop flag: the handlers restart
// system calls, so a blocked waitpid would never see it.
Waited WaitFor(pid_t pid, OnStop onStop, const WaitCallbacks* callbacks, int& progressFd) {
  using Clock = std::chrono::steady_clock;
  int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  const auto tick = std::chrono::milliseconds(callbacks ? std::max(1, callbacks->tickMs) : 100);
  ProgressLines lines;
  bool stopped = false, killed = false;
  bool unshown = false;  // a percentage reported since the last tick
  Clock::time_point stoppedAt, lastTick = Clock::now();
  auto stop = [&] {
    if (stopped) return;
    ::kill(pid, SIGTERM);
    stopped = true;
    stoppedAt = Clock::now();
  };
  int status = 0;
  for (;;) {
    if (onStop == OnStop::Kill && StopSignal()) stop();
    if (stopped && !killed && Clock::now() - stoppedAt > kStopGrace) {
      ::kill(-pid, SIGKILL);
      killed = true;
    }
    pollfd ready[2];
    nfds_t count = 0;
    if (pidfd >= 0) ready[count++] = {pidfd, POLLIN, 0};
    if (progressFd >= 0) ready[count++] = {progressFd, POLLIN, 0};
    // Kernels before 5.3 have no pidfd: look every 20 ms.
    int timeout = static_cast<int>(pidfd >= 0 ? tick.count() : std::min<long>(tick.count(), 20));
    ::poll(ready, count, timeout);  // a timeout or EINTR is just another look
    bool reported = DrainProgress(progressFd, lines, callbacks);
    unshown = unshown || reported;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) {
      status = -1;
      break;
    }
    if (callbacks && callbacks->tick && (reported || Clock::now() - lastTick >= tick)) {
      lastTick = Clock::now();
      unshown = false;
      if (callbacks->tick()) stop();
    }
  }
  // What it wrote just before it ended, and a tick after it as after every
  // report, so that the caller shows the last percentage too.
  unshown = DrainProgress(progressFd, lines, callbacks) || unshown;
  if (unshown && callbacks && callbacks->tick) callbacks->tick();
  if (pidfd >= 0) ::close(pidfd);
  if (status == -1) return {-1, stopped};
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), stopped};
}

}  // namespace

std::string CommandArgument(std::string_view path) {
  if (path.find_first_of(" \t<>|") == std::string_view::npos) return std::string(path);
  return "\"" + std::string(path) + "\"";
}

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line) {
  auto words = SplitWithOffsets(line);
  if (!words) return std::nullopt;
  std::vector<std::string> out;
  for (auto& w : *words) out.push_back(std::move(w.text));
  return out;
}

std::optional<InterpretedCommand> ParseInterpreterLine(std::string_view rest) {
  InterpretedCommand cmd;
  std::string plain;  // the line with its redirections cut out
  bool quoted = false;
  size_t i = 0;
  while (i < rest.size()) {
    char c = rest[i];
    if (c == '"') quoted = !quoted;
    if (quoted || (c != '<' && c != '>')) {
      plain += c;
      ++i;
      continue;
    }
    bool input = c == '<';
    bool append = !input && i + 1 < rest.size() && rest[i + 1] == '>';
    i += append ? 2 : 1;
    while (i < rest.size() && IsBlank(rest[i])) ++i;
    std::string target;
    bool targetQuoted = false;
    for (; i < rest.size() &&
           (targetQuoted || (!IsBlank(rest[i]) && rest[i] != '<' && rest[i] != '>'));
         ++i) {
      if (rest[i] == '"') {
        targetQuoted = !targetQuoted;
      } else {
        target += rest[i];
      }
    }
    if (targetQuoted || target.empty()) return std::nullopt;
    if (input) {
      cmd.input = target;
    } else {
      cmd.output = target;
      cmd.append = append;
    }
    plain += ' ';
  }
  if (quoted) return std::nullopt;
  auto words = SplitCommandLine(plain);
  if (!words || words->empty()) return std::nullopt;
  cmd.words = std::move(*words);
  return cmd;
}

CommandRunner::CommandRunner(FileSystem& fs, ProgramTable programs)
    : fs_(fs), programs_(std::move(programs)) {}

CommandRunner::~CommandRunner() {
  ReapDetached();
}

ExecResult CommandRunner::ExecCmd(std::string_view commandLine, OnStop onStop) {
  return Start(commandLine, onStop);
}

ExecResult CommandRunner::ExecCmd(std::string_view commandLine, const WaitCallbacks& callbacks,
                                  OnStop onStop) {
  return Start(commandLine, onStop, &callbacks);
}

ExecResult CommandRunner::StartDetached(std::string_view commandLine) {
  return Start(commandLine, std::nullopt);
}

std::string CommandRunner::GetShortFileName(std::string_view dosPath) const {
  return fs_.Exists(dosPath) ? std::string(dosPath) : std::string();
}

void CommandRunner::ReapDetached() {
  std::erase_if(detached_, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

ExecResult CommandRunner::Start(std::string_view commandLine, std::optional<OnStop> wait,
                                const WaitCallbacks* callbacks) {
  ReapDetached();
  ExecResult result;
  auto words = SplitWithOffsets(commandLine);
  if (!words || words->empty()) {
    result.error = "bad command line";
    return result;
  }
  InterpretedCommand cmd;
  if (IsInterpreter((*words)[0].text)) {
    if (words->size() < 2 || !dos::EqualNoCase((*words)[1].text, "/c")) {
      result.error = "the interpreter only runs '/c' lines";
      return result;
    }
    auto parsed = ParseInterpreterLine(commandLine.substr((*words)[1].end));
    if (!parsed) {
      result.error = "bad command line";
      return result;
    }
    cmd = std::move(*parsed);
  } else {
    for (auto& w : *words) cmd.words.push_back(std::move(w.text));
  }

  auto program = programs_.Resolve(cmd.words[0]);
  if (!program) {
    result.error = "program not found: " + cmd.words[0];
    return result;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  struct ActionsGuard {
    posix_spawn_file_actions_t* a;
    ~ActionsGuard() { posix_spawn_file_actions_destroy(a); }
  } guard{&actions};

  std::string cwd = fs_.HostCurrentDir();
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  // Redirections are opened here, so that a bad target stops the run before
  // anything starts and the child never sees a host shell.
  int inFd = -1, outFd = -1;
  struct FdGuard {
    int& fd;
    ~FdGuard() {
      if (fd >= 0) ::close(fd);
    }
  } inGuard{inFd}, outGuard{outFd};
  if (!cmd.input.empty()) {
    auto host = fs_.HostPath(cmd.input);
    if (!host || (inFd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC)) < 0) {
      result.error =
          "can't open '" + cmd.input + "': " + (host ? std::strerror(errno) : "path not found");
      return result;
    }
    posix_spawn_file_actions_adddup2(&actions, inFd, 0);
  }
  if (!cmd.output.empty()) {
    auto host = fs_.HostPath(cmd.output);
    // The targets are the program's own exchange files: a link planted at
    // one is refused, never written through.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (cmd.append ? O_APPEND : O_TRUNC);
    std::string reason = !host                                              ? "path not found"
                         : IsReadOnly(*host)                                ? "Read-only file"
                         : (outFd = ::open(host->c_str(), flags, 0666)) < 0 ? std::strerror(errno)
                                                                            : "";
    if (!reason.empty()) {
      result.error = "can't create '" + cmd.output + "': " + reason;
      return result;
    }
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  }

  // The progress pipe: its write end becomes the child's kProgressChildFd
  // (after the redirections, which may have taken that number here).
  int progressRead = -1, progressWrite = -1;
  FdGuard progressReadGuard{progressRead}, progressWriteGuard{progressWrite};
  if (wait && callbacks) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      result.error = std::string("can't make a pipe: ") + std::strerror(errno);
      return result;
    }
    progressRead = ends[0];
    progressWrite = ends[1];
    ::fcntl(progressRead, F_SETFL, ::fcntl(progressRead, F_GETFL) | O_NONBLOCK);
    if (progressWrite == kProgressChildFd) {
      // dup2 onto itself would keep close-on-exec set.
      int moved = ::fcntl(progressWrite, F_DUPFD_CLOEXEC, kProgressChildFd + 1);
      ::close(progressWrite);
      progressWrite = moved;
      if (moved < 0) {
        result.error = std::string("can't make a pipe: ") + std::strerror(errno);
        return result;
      }
    }
    posix_spawn_file_actions_adddup2(&actions, progressWrite, kProgressChildFd);
  }

  std::vector<std::string> env;
  std::string drivesVar = std::string(DriveTable::kEnvVar) + "=";
  std::string progressVar = std::string(kProgressFdVar) + "=";
  for (char** e = environ; *e; ++e) {
    std::string_view var(*e);
    // A channel named by our own parent is not this child's.
    if (!var.starts_with(drivesVar) && !var.starts_with(progressVar)) env.emplace_back(*e);
  }
  env.push_back(drivesVar + fs_.Drives().Serialize());
  if (progressWrite >= 0) env.push_back(progressVar + std::to_string(kProgressChildFd));
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::vector<std::string> args = cmd.words;
  args[0] = *program;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  struct AttributesGuard {
    posix_spawnattr_t* a;
    ~AttributesGuard() { posix_spawnattr_destroy(a); }
  } attributesGuard{&attributes};
  if (wait) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }

  pid_t pid;
  int rc = ::posix_spawn(&pid, program->c_str(), &actions, &attributes, argv.data(), envp.data());
  if (rc != 0) {
    result.error = std::string("can't start '") + *program + "': " + std::strerror(rc);
    return result;
  }
  result.started = true;
  if (!wait) {
    detached_.push_back(pid);
    return result;
  }
  if (progressWrite >= 0) {
    // Only the child writes: the pipe ends when it (and whatever inherited
    // the descriptor) has gone.
    ::close(progressWrite);
    progressWrite = -1;
  }
  Waited waited = WaitFor(pid, *wait, callbacks, progressRead);
  result.exitStatus = waited.exitStatus;
  result.stopAsked = waited.stopAsked;
  return result;
}

}  // namespace kelvo::host
