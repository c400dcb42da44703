// Message boxes of the source operations. Unattended runs show none.
#pragma once

#include <string>

#include "core/context.h"

namespace kelvo {

inline void Notify(Context& ctx, const std::string& text, const std::string& title,
                   MessageIcon icon) {
  if (!ctx.InBatch()) ctx.ui.ShowMessage(text, title, icon, MessageButtons::Ok);
}

}  // namespace kelvo
