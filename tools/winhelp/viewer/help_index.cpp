#include "viewer/help_index.h"

#include <QRegularExpression>
#include <algorithm>

namespace kelvo::help {

namespace {

bool IsIndexFlag(const QString& arg) {
  return arg.compare("-index", Qt::CaseInsensitive) == 0 ||
         arg.compare("/index", Qt::CaseInsensitive) == 0;
}

// Heading text as the reader sees it: tags dropped, the usual entities
// decoded, runs of white space made one blank.
QString PlainText(QString html) {
  static const QRegularExpression tag("<[^>]*>");
  html.remove(tag);
  html.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"");
  html.replace("&#39;", "'").replace("&nbsp;", " ").replace("&amp;", "&");
  return html.simplified();
}

QString Attribute(const QString& attributes, const QString& name) {
  const QRegularExpression re("(?:^|\\s)" + name + "\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')",
                              QRegularExpression::CaseInsensitiveOption);
  auto match = re.match(attributes);
  if (!match.hasMatch()) return {};
  return match.captured(1).isNull() ? match.captured(2) : match.captured(1);
}

}  // namespace

std::optional<HelpRequest> ParseHelpArgs(const QStringList& args) {
  HelpRequest request;
  QStringList pieces = args;
  if (!pieces.isEmpty() && IsIndexFlag(pieces.front())) {
    request.index = true;
    pieces.removeFirst();
  }
  request.dosPath = pieces.join(' ').trimmed();
  if (request.dosPath.isEmpty()) return std::nullopt;
  return request;
}

std::vector<IndexEntry> ParseIndex(const QString& html) {
  static const QRegularExpression heading(
      "<h([1-4])(\\s[^>]*)?>(.*?)</h\\1\\s*>",
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  std::vector<IndexEntry> entries;
  for (auto it = heading.globalMatch(html); it.hasNext();) {
    auto match = it.next();
    const QString attributes = match.captured(2);
    const QString anchor = Attribute(attributes, "id");
    if (anchor.isEmpty()) continue;
    const QString text = PlainText(match.captured(3));
    if (!text.isEmpty()) entries.push_back({text, anchor});
    for (const QString& keyword : Attribute(attributes, "data-keywords").split(';')) {
      const QString word = PlainText(keyword);
      if (!word.isEmpty()) entries.push_back({word, anchor});
    }
  }
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
  });
  return entries;
}

bool MatchesFilter(const IndexEntry& entry, const QString& filter) {
  const QStringList words = filter.split(' ', Qt::SkipEmptyParts);
  return std::all_of(words.begin(), words.end(), [&](const QString& word) {
    return entry.text.contains(word, Qt::CaseInsensitive);
  });
}

}  // namespace kelvo::help
