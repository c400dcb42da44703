// Message boxes of the source operations; a run without a window shows
// none (its Ui answers them unseen).
#pragma once

#include <string>

#include "core/context.h"

namespace kelvo {

inline void Notify(Context& ctx, const std::string& text, const std::string& title,
                   MessageIcon icon) {
  ctx.ui.ShowMessage(text, title, icon, MessageButtons::Ok);
}

}  // namespace kelvo
