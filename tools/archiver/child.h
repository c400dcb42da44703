// What the stand-ins that drive a real program share: running it with the
// signals meant for us passed on, and its printed progress relayed to the
// channel the parent named.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/find_program.h"

namespace kelvo::archiver {

using host::FindOnPath;

// The progress channel, and the last percentage it carried.
struct ProgressOut {
  int fd = -1;
  int last = -1;
  void Write(int percent);
};

// Reads a program's stdout as it comes and returns the percentages that
// each piece completes.
using ProgressParser = std::function<std::vector<int>(std::string_view)>;

// Runs `program` with `args` and waits; SIGINT, SIGTERM and SIGHUP sent to
// us reach it too. With `progress` (and a channel) the program's stdout is
// read by `parse` and its percentages go on to the channel. Returns its exit
// status, or 128 + the signal that ended it; a program that can't be started
// throws host::HostError.
int RunChild(const std::string& program, const std::vector<std::string>& args,
             ProgressOut* progress = nullptr, const ProgressParser& parse = {});

}  // namespace kelvo::archiver
