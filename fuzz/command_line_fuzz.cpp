// libFuzzer target: the command-line splitter and the "command.com /c" line.
// A redirection is only ever taken from outside double quotes, quotes never
// reach a word, and what was parsed reads back the same when written out
// again with every word quoted.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/command_runner.h"

namespace {

using kelvo::host::InterpretedCommand;
using kelvo::host::ParseInterpreterLine;
using kelvo::host::SplitCommandLine;

void Require(bool holds) {
  if (!holds) std::abort();
}

std::string Quoted(const std::string& word) {
  return "\"" + word + "\"";
}

// Whether some '<' or '>' lies outside every quoted span, the spans being
// the pairs of quotes counted from the start of the line.
bool RedirectionOutsideQuotes(std::string_view line) {
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '<' || c == '>')) return true;
  }
  return false;
}

void CheckWords(const std::vector<std::string>& words, std::string_view line) {
  bool lineHasQuote = line.find('"') != std::string_view::npos;
  for (const auto& w : words) {
    Require(w.find('"') == std::string::npos);
    // Only a pair of quotes makes an empty word.
    Require(!w.empty() || lineHasQuote);
  }
}

void CheckSplit(std::string_view line) {
  auto words = SplitCommandLine(line);
  if (!words) {
    // Refused only for a quote left open.
    Require(std::count(line.begin(), line.end(), '"') % 2 == 1);
    return;
  }
  CheckWords(*words, line);
  std::string again;
  for (const auto& w : *words) again += (again.empty() ? "" : " ") + Quoted(w);
  Require(SplitCommandLine(again) == words);
}

void CheckInterpreterLine(std::string_view line) {
  std::optional<InterpretedCommand> cmd = ParseInterpreterLine(line);
  if (!RedirectionOutsideQuotes(line)) {
    // Nothing to redirect: the words are exactly those of the plain split.
    auto words = SplitCommandLine(line);
    if (!words || words->empty()) {
      Require(!cmd);
      return;
    }
    Require(cmd && cmd->words == *words && cmd->input.empty() && cmd->output.empty() &&
            !cmd->append);
  }
  if (!cmd) return;
  Require(!cmd->words.empty());
  CheckWords(cmd->words, line);
  Require(cmd->input.find('"') == std::string::npos);
  Require(cmd->output.find('"') == std::string::npos);
  Require(!cmd->append || !cmd->output.empty());

  std::string again;
  for (const auto& w : cmd->words) again += " " + Quoted(w);
  if (!cmd->input.empty()) again += " <" + Quoted(cmd->input);
  if (!cmd->output.empty()) again += (cmd->append ? " >>" : " >") + Quoted(cmd->output);
  auto reparsed = ParseInterpreterLine(again);
  Require(reparsed && reparsed->words == cmd->words && reparsed->input == cmd->input &&
          reparsed->output == cmd->output && reparsed->append == cmd->append);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  CheckSplit(line);
  CheckInterpreterLine(line);
  return 0;
}
