// The help viewer and the link launcher, started without waiting.
#pragma once

#include "core/context.h"

namespace kelvo::shell {

// "winhelp.exe " + application directory + "\kelvo32.hlp", unquoted.
std::string HelpFileCommandLine(const Context& ctx);
// F1 and the navigation item "Help".
void OpenHelpFile(Context& ctx);
// "&Contents..." and "&Index...": the same help at its contents, and at its
// index with search.
std::string HelpContentsCommandLine(const Context& ctx);
std::string HelpIndexCommandLine(const Context& ctx);
void HelpContents(Context& ctx);
void HelpIndex(Context& ctx);
// "webdial.exe $" + the web page; "webdial.exe >mailto:" + the address.
void OpenWebPage(Context& ctx);
void SendEmail(Context& ctx);

}  // namespace kelvo::shell
