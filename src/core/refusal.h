// A check says what is wrong with the job, never how to tell it: it returns
// a Refusal, and Present hands it to the mode's Ui. The window shows the box
// (or the reason under the panel), the panel and the focus; a run without a
// window writes the reason to stderr and ends with the status.
#pragma once

#include <string>

#include "core/context.h"
#include "core/exit_status.h"
#include "core/message_titles.h"

namespace kelvo {

// The job field a refusal at load time empties, so that the window never
// keeps showing what can't be used.
enum class JobField {
  None,
  Source,
  SourceAndSkip,
  SkipEntries,
  Diz,
  Nfo,
  Extra,
  ZipStorage,
  BaseName
};

struct Refusal {
  Panel panel = Panel::None;
  FocusBox focus = FocusBox::None;
  JobField clear = JobField::None;
  std::string reason;
  int status = kExitJobIncomplete;
  // A refusal the window shows in a message box; None: under the panel.
  MessageIcon box = MessageIcon::None;
  std::string title = kErrorTitle;
};

// Clears the refusal's field, shows its panel and tells its reason: in a box
// when it has one (the window's Ui), and as a report line (a run without a
// window). Each Ui shows what is its own and ignores the other.
void Present(Context& ctx, const Refusal& refusal);

}  // namespace kelvo
