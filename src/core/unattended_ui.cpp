#include "core/unattended_ui.h"

#include <unistd.h>

namespace kelvo {

UnattendedUi UnattendedUi::ForStderr() {
  return UnattendedUi(stderr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace kelvo
