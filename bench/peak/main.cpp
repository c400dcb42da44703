// Runs a program and reports its own peak resident memory:
//   kelvo_peak -o FILE PROGRAM [ARG...]
// writes the peak in KiB to FILE and ends with the program's status
// (128 + the signal when one ended it). The peak is the program's VmHWM,
// read when it exits: getrusage's maxrss of a child, as /usr/bin/time
// shows it, is the largest of the child and everything it waited for (the
// archiver it runs), and starts from its parent's high-water mark.
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

long HighWaterKib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.starts_with("VmHWM:")) return std::atol(line.c_str() + 6);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[1], "-o") != 0) {
    std::fprintf(stderr, "usage: kelvo_peak -o FILE PROGRAM [ARG...]\n");
    return 64;
  }
  pid_t pid = fork();
  if (pid < 0) return 70;
  if (pid == 0) {
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execvp(argv[3], argv + 3);
    std::fprintf(stderr, "kelvo_peak: can't start '%s': %s\n", argv[3], std::strerror(errno));
    _exit(127);
  }
  // Ctrl-C reaches the program through the process group; the launcher
  // stays to see its end.
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);

  long peak = -1;
  bool started = false;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return 70;
    if (WIFEXITED(status) || WIFSIGNALED(status)) {
      if (std::FILE* out = std::fopen(argv[2], "w")) {
        std::fprintf(out, "%ld\n", peak);
        std::fclose(out);
      }
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int deliver = WSTOPSIG(status);
    if (!started && deliver == SIGTRAP) {
      // The stop after exec: from here on, stop once more at the exit, and
      // at each further exec (a wrapper script starting the real program).
      started = true;
      ptrace(PTRACE_SETOPTIONS, pid, nullptr,
             PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL);
      deliver = 0;
    } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      peak = HighWaterKib(pid);
      deliver = 0;
    } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXEC << 8))) {
      deliver = 0;
    }
    ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(deliver)));
  }
}
