// Choosing the source on the Source panel: a drive or directory in the
// folder dialog, or a CD image file while "&ISO" is checked; for an image
// the user decides whether the volumes go into zips.
#pragma once

#include <functional>
#include <string>

#include "core/context.h"

namespace kelvo {

// The source "&Browse".
void BrowseSource(Context& ctx);

// The source "&Browse" from the point where its dialog has answered: the
// chosen image (with the question whether to make zips), or the chosen
// drive or directory.
void UseImageSource(Context& ctx, const std::string& chosen);
void UseDirectorySource(Context& ctx, const std::string& chosen);

// A directory or a .iso dropped on the Source panel: the "&ISO" box follows
// it, then the source "&Browse" goes on as if its dialog had chosen it.
// Anything else is refused on the view's drop notice.
void DropSource(Context& ctx, const std::string& dosPath);

// The "&ISO" box set to `checked`; nothing happens when it already is.
void ToggleImageSource(Context& ctx, bool checked);

// The folder dialogs' watch on the highlighted folder: shows it in the
// status line, or "Invalid drive" for a drive without free space unless a
// directory source has been browsed since the last source "&Browse".
void CheckBrowsedDrive(Context& ctx, const std::string& path, FolderDialogStatus& status);
// CheckBrowsedDrive bound to `ctx`, for FolderDialogRequest::onHighlighted.
std::function<void(const std::string&, FolderDialogStatus&)> FolderHighlightWatcher(Context& ctx);

// The zip-only controls (Skip, Diz and Nfo panels, zip storage "&Browse",
// "Zip E&xtra").
void EnableZipControls(Context& ctx, bool enabled);

}  // namespace kelvo
