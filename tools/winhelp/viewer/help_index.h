// What the help viewer reads out of the manual: its arguments, and an index
// of the headings (and their keywords) with the anchors they jump to.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kelvo::help {

// winhelp.exe <path>         the help file at its contents
// winhelp.exe -index <path>  the same file at its index and search box
// The path is a DOS path. The command runner splits by blanks, so an
// unquoted path with blanks arrives in pieces; they are joined with one
// blank each. "/index" is taken as "-index", in any case.
struct HelpRequest {
  QString dosPath;
  bool index = false;
};

// nullopt when no path is given.
std::optional<HelpRequest> ParseHelpArgs(const QStringList& args);

struct IndexEntry {
  QString text;
  QString anchor;  // the id of the heading it jumps to
};

// One entry per heading <h1>..<h4> that has an id, plus one per keyword in
// its data-keywords attribute ("a; b"), sorted case-insensitively. Headings
// without an id can't be jumped to and are left out.
std::vector<IndexEntry> ParseIndex(const QString& html);

// Whether every blank-separated word of the filter occurs in the entry's
// text, case-insensitively; an empty filter matches everything.
bool MatchesFilter(const IndexEntry& entry, const QString& filter);

}  // namespace kelvo::help
