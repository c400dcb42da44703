// Reading the help file: only a regular file of a manual's size is read, and
// nothing else (a pipe, a device) is waited on.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace kelvo::help {

// The manual is some hundred KB of HTML; a file this large is not it.
constexpr std::size_t kMaxHelpBytes = 8u << 20;

struct HelpFile {
  QString html;     // the manual's text, when read
  QString problem;  // why it can't be opened ("it does not exist"); empty when read
};

HelpFile ReadHelpFile(const std::string& hostPath, std::size_t limit = kMaxHelpBytes);

}  // namespace kelvo::help
