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

namespace {
// The viewer shows its index, with search, when this comes before the file.
constexpr const char* kIndexSwitch = "-index ";
}  // namespace

std::string HelpContentsCommandLine(const Context& ctx) {
  return "winhelp.exe " + ctx.AppFile("Kelvo32.HLP");
}

std::string HelpIndexCommandLine(const Context& ctx) {
  return std::string("winhelp.exe ") + kIndexSwitch + ctx.AppFile("Kelvo32.HLP");
}

void HelpContents(Context& ctx) {
  ctx.runner.StartDetached(HelpContentsCommandLine(ctx));
}

void HelpIndex(Context& ctx) {
  ctx.runner.StartDetached(HelpIndexCommandLine(ctx));
}

void OpenWebPage(Context& ctx) {
  ctx.runner.StartDetached(std::string("webdial.exe $") + kWebPage);
}

void SendEmail(Context& ctx) {
  ctx.runner.StartDetached(std::string("webdial.exe >mailto:") + kEmailAddress);
}

}  // namespace kelvo::shell
