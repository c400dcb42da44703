#include "shell/help.h"

#include "shell/links.h"

namespace kelvo::shell {

std::string HelpFileCommandLine(const Context& ctx) {
  return "winhelp.exe " + ctx.AppFile("kelvo32.hlp");
}

// A viewer or launcher that can't be started shows nothing of its own here.
void OpenHelpFile(Context& ctx) {
  ctx.runner.StartDetached(HelpFileCommandLine(ctx));
}

void OpenWebPage(Context& ctx) {
  ctx.runner.StartDetached(std::string("webdial.exe $") + kWebPage);
}

void SendEmail(Context& ctx) {
  ctx.runner.StartDetached(std::string("webdial.exe >mailto:") + kEmailAddress);
}

}  // namespace kelvo::shell
