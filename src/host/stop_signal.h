// SIGINT and SIGTERM ask an unattended run to stop: the handlers only note
// the signal, and the run stops at its next safe point, so that no zip is
// left half written and no temporary file stays behind.
#pragma once

namespace kelvo::host {

// Installs the handlers (process-wide; for runs without a window).
void InstallStopHandlers();
// The signal that asked to stop, or 0.
int StopSignal();
// Forgets a noted signal (tests; a new run of a long-lived process).
void ClearStopSignal();

}  // namespace kelvo::host
