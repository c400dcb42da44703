// Opening the file the editor was started with: the DOS path from argv,
// mapped through the drive table, with the questions and refusals shown in
// message boxes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/notepad_window.h"
#include "host/filesystem.h"

namespace kelvo::notepad {

// The window, or nullptr with the exit status the program should end with.
std::unique_ptr<NotepadWindow> OpenEditor(const std::vector<std::string>& args,
                                          const host::FileSystem& fs, int& exitStatus);

}  // namespace kelvo::notepad
