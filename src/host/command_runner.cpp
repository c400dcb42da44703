#include "host/command_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/dospath.h"

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

}  // namespace

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

ExecResult CommandRunner::ExecCmd(std::string_view commandLine) {
  return Start(commandLine, true);
}

ExecResult CommandRunner::StartDetached(std::string_view commandLine) {
  return Start(commandLine, false);
}

std::string CommandRunner::GetShortFileName(std::string_view dosPath) const {
  return fs_.Exists(dosPath) ? std::string(dosPath) : std::string();
}

void CommandRunner::ReapDetached() {
  std::erase_if(detached_, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

ExecResult CommandRunner::Start(std::string_view commandLine, bool wait) {
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
      result.error = "can't open '" + cmd.input + "'";
      return result;
    }
    posix_spawn_file_actions_adddup2(&actions, inFd, 0);
  }
  if (!cmd.output.empty()) {
    auto host = fs_.HostPath(cmd.output);
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (cmd.append ? O_APPEND : O_TRUNC);
    if (!host || IsReadOnly(*host) || (outFd = ::open(host->c_str(), flags, 0666)) < 0) {
      result.error = "can't create '" + cmd.output + "'";
      return result;
    }
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  }

  std::vector<std::string> env;
  std::string drivesVar = std::string(DriveTable::kEnvVar) + "=";
  for (char** e = environ; *e; ++e) {
    if (!std::string_view(*e).starts_with(drivesVar)) env.emplace_back(*e);
  }
  env.push_back(drivesVar + fs_.Drives().Serialize());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::vector<std::string> args = cmd.words;
  args[0] = *program;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid;
  int rc = ::posix_spawn(&pid, program->c_str(), &actions, nullptr, argv.data(), envp.data());
  if (rc != 0) {
    result.error = std::string("can't start '") + *program + "': " + std::strerror(rc);
    return result;
  }
  result.started = true;
  if (!wait) {
    detached_.push_back(pid);
    return result;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.exitStatus = -1;
      return result;
    }
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace kelvo::host
