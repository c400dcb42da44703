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
#include "host/unique_fd.h"

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
bool DrainProgress(UniqueFd& fd, ProgressLines& lines, const WaitCallbacks* callbacks) {
  bool reported = false;
  char buffer[512];
  while (fd) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      fd.reset();
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
Waited WaitFor(pid_t pid, OnStop onStop, const WaitCallbacks* callbacks, UniqueFd& progressFd) {
  using Clock = std::chrono::steady_clock;
  UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
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
    if (pidfd) ready[count++] = {pidfd.get(), POLLIN, 0};
    if (progressFd) ready[count++] = {progressFd.get(), POLLIN, 0};
    // Kernels before 5.3 have no pidfd: look every 20 ms.
    int timeout = static_cast<int>(pidfd ? tick.count() : std::min<long>(tick.count(), 20));
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
  if (status == -1) return {-1, stopped};
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), stopped};
}

// The words of a command line with its redirections: "command.com /c ..."
// is interpreted here, anything else is the program and its arguments. The
// reason it can't be run, or empty.
std::string ParseCommand(std::string_view commandLine, InterpretedCommand& command) {
  auto words = SplitWithOffsets(commandLine);
  if (!words || words->empty()) return "bad command line";
  if (!IsInterpreter((*words)[0].text)) {
    for (auto& w : *words) command.words.push_back(std::move(w.text));
    return {};
  }
  if (words->size() < 2 || !dos::EqualNoCase((*words)[1].text, "/c"))
    return "the interpreter only runs '/c' lines";
  auto parsed = ParseInterpreterLine(commandLine.substr((*words)[1].end));
  if (!parsed) return "bad command line";
  command = std::move(*parsed);
  return {};
}

// The strings as a null-ended array for exec; valid while they are.
std::vector<char*> CStrings(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& t : texts) out.push_back(t.data());
  out.push_back(nullptr);
  return out;
}

// The environment of a child: ours, with the drive table handed on and the
// progress channel named when there is one.
std::vector<std::string> ChildEnvironment(const DriveTable& drives, bool progress) {
  std::vector<std::string> env;
  std::string drivesVar = std::string(DriveTable::kEnvVar) + "=";
  std::string progressVar = std::string(kProgressFdVar) + "=";
  for (char** e = environ; *e; ++e) {
    std::string_view var(*e);
    // A channel named by our own parent is not this child's.
    if (!var.starts_with(drivesVar) && !var.starts_with(progressVar)) env.emplace_back(*e);
  }
  env.push_back(drivesVar + drives.Serialize());
  if (progress) env.push_back(progressVar + std::to_string(kProgressChildFd));
  return env;
}

// One start of a program: what it runs, the descriptors it is handed, and
// the file actions that hand them over. Each step returns why the program
// can't start, or empty.
struct Launch {
  InterpretedCommand command;
  std::string program;  // host path
  UniqueFd input, output, progressRead, progressWrite;
  posix_spawn_file_actions_t actions;

  Launch() { posix_spawn_file_actions_init(&actions); }
  ~Launch() { posix_spawn_file_actions_destroy(&actions); }
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  // Redirections are opened here, so that a bad target stops the run before
  // anything starts and the child never sees a host shell.
  std::string OpenRedirections(const FileSystem& fs) {
    std::string cwd = fs.HostCurrentDir();
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    if (!command.input.empty()) {
      auto host = fs.HostPath(command.input);
      if (host) input.reset(::open(host->c_str(), O_RDONLY | O_CLOEXEC));
      if (!input)
        return "can't open '" + command.input +
               "': " + (host ? std::strerror(errno) : "path not found");
      posix_spawn_file_actions_adddup2(&actions, input.get(), 0);
    }
    if (!command.output.empty()) {
      auto host = fs.HostPath(command.output);
      // The targets are the program's own exchange files: a link planted at
      // one is refused, never written through.
      int flags =
          O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (command.append ? O_APPEND : O_TRUNC);
      std::string reason;
      if (!host) {
        reason = "path not found";
      } else if (IsReadOnly(*host)) {
        reason = "Read-only file";
      } else {
        output.reset(::open(host->c_str(), flags, 0666));
        if (!output) reason = std::strerror(errno);
      }
      if (!reason.empty()) return "can't create '" + command.output + "': " + reason;
      posix_spawn_file_actions_adddup2(&actions, output.get(), 1);
    }
    return {};
  }

  // The progress pipe: its write end becomes the child's kProgressChildFd
  // (after the redirections, which may have taken that number here).
  std::string OpenProgressPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
      return std::string("can't make a pipe: ") + std::strerror(errno);
    progressRead.reset(ends[0]);
    progressWrite.reset(ends[1]);
    ::fcntl(progressRead.get(), F_SETFL, ::fcntl(progressRead.get(), F_GETFL) | O_NONBLOCK);
    if (progressWrite.get() == kProgressChildFd) {
      // dup2 onto itself would keep close-on-exec set.
      progressWrite.reset(::fcntl(progressWrite.get(), F_DUPFD_CLOEXEC, kProgressChildFd + 1));
      if (!progressWrite) return std::string("can't make a pipe: ") + std::strerror(errno);
    }
    posix_spawn_file_actions_adddup2(&actions, progressWrite.get(), kProgressChildFd);
    return {};
  }

  // Starts the program with its words still in DOS form; a waited one gets
  // a process group of its own.
  std::string Spawn(const DriveTable& drives, bool waited, pid_t& pid) {
    std::vector<std::string> env = ChildEnvironment(drives, static_cast<bool>(progressWrite));
    std::vector<std::string> args = command.words;
    args[0] = program;
    std::vector<char*> envp = CStrings(env), argv = CStrings(args);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (waited) {
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
      posix_spawnattr_setpgroup(&attributes, 0);
    }
    int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) return "can't start '" + program + "': " + std::strerror(rc);
    return {};
  }
};

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
  Launch launch;
  result.error = ParseCommand(commandLine, launch.command);
  if (result.error.empty()) {
    auto program = programs_.Resolve(launch.command.words[0]);
    if (program) {
      launch.program = *program;
    } else {
      result.error = "program not found: " + launch.command.words[0];
    }
  }
  if (result.error.empty()) result.error = launch.OpenRedirections(fs_);
  if (result.error.empty() && wait && callbacks) result.error = launch.OpenProgressPipe();
  pid_t pid = 0;
  if (result.error.empty()) result.error = launch.Spawn(fs_.Drives(), wait.has_value(), pid);
  if (!result.error.empty()) return result;

  result.started = true;
  if (!wait) {
    detached_.push_back(pid);
    return result;
  }
  // Only the child writes: the pipe ends when it (and whatever inherited
  // the descriptor) has gone.
  launch.progressWrite.reset();
  Waited waited = WaitFor(pid, *wait, callbacks, launch.progressRead);
  result.exitStatus = waited.exitStatus;
  result.stopAsked = waited.stopAsked;
  return result;
}

}  // namespace kelvo::host
