// The Skip panel's "&Browse" and "&Clear": sub-directories and files of the
// source that the archiver is to leave out, one entry per CR LF line.
#pragma once

#include <functional>
#include <string>

#include "core/context.h"

namespace kelvo {

// "&Browse": adds one entry of the kind chosen on the panel (a folder as
// "<dir>\*.*", or a file within the source path) and lowers the whole list.
// `onHighlighted` watches the folder dialog's highlighted folder.
void AddSkipEntry(Context& ctx,
                  std::function<void(const std::string&, FolderDialogStatus&)> onHighlighted = {});

// "&Clear".
void ClearSkipList(Context& ctx);

// The options "&Sub-dir" and "&File": what "&Browse" adds.
void SetSkipKind(Context& ctx, SkipBrowseKind kind);

// Whether a skip entry names something, by the rule the archiver excludes
// with: the last component is a DOS pattern ('*' any run, '?' one
// character); one ending in '*' matches files and directories, any other
// files only. A name that itself holds '*' or '?' matches itself.
bool SkipEntryMatches(const host::FileSystem& fs, const std::string& entry);

}  // namespace kelvo
