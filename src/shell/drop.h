// Files and folders dropped on the main window: a job script opens wherever
// it lands; a source, DIZ or NFO goes to the panel shown, which takes it as
// its "&Browse" takes a choice. A refused drop says why on the view.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"

namespace kelvo::shell {

// `hostPaths` are the dropped items as host paths; an item that is no local
// file or folder (a web address) comes as an empty string.
void DropOnWindow(Context& ctx, const std::vector<std::string>& hostPaths);

}  // namespace kelvo::shell
