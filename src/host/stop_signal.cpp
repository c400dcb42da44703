#include "host/stop_signal.h"

#include <csignal>

namespace kelvo::host {

namespace {
volatile std::sig_atomic_t noted = 0;

void Note(int signal) {
  noted = signal;
}
}  // namespace

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls restart: the waits that must notice a stop
  // poll for it themselves.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() {
  return noted;
}

void ClearStopSignal() {
  noted = 0;
}

}  // namespace kelvo::host
