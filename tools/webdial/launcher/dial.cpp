#include "launcher/dial.h"

namespace kelvo::dial {

namespace {

constexpr char kUsage[] = "use: webdial.exe >mailto:<address> or webdial.exe $<web address>";

Target Refuse(const QString& why) {
  return {QUrl(), why + "\n" + kUsage};
}

// One address, user@domain: no list, no quoted or bracketed forms, and none
// of the characters a URL or a mail client reads a meaning into.
bool PlainAddress(const QString& address) {
  const qsizetype at = address.indexOf('@');
  if (at <= 0 || at != address.lastIndexOf('@')) return false;
  const QStringView localChars = u".!$'*+-/=^_`{|}~";
  for (const QChar c : address.left(at))
    if (!c.isLetterOrNumber() && !localChars.contains(c)) return false;
  for (const QString& label : address.mid(at + 1).split('.')) {
    if (label.isEmpty() || label.startsWith('-') || label.endsWith('-')) return false;
    for (const QChar c : label)
      if (!c.isLetterOrNumber() && c != '-') return false;
  }
  return true;
}

Target MailTarget(const QString& text) {
  QUrl url(text, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().compare("mailto", Qt::CaseInsensitive) != 0 ||
      url.path().isEmpty() || !url.path().contains('@'))
    return Refuse(QString("\"%1\" is no mailto: address").arg(text));
  // Decoded, so that an escaped "?" or "," can't pass for part of the address.
  const QString address = url.path(QUrl::FullyDecoded);
  if (!PlainAddress(address)) return Refuse(QString("\"%1\" is no plain mail address").arg(text));
  // Only the address goes on: a query or fragment could attach files
  // (?attach=) or fill in the mail behind the user's back.
  QUrl plain;
  plain.setScheme("mailto");
  plain.setPath(address, QUrl::DecodedMode);
  return {plain, {}};
}

Target WebTarget(const QString& text) {
  // A page named without a scheme, as "www.host/page", is an http address.
  const QUrl url = text.contains("://") ? QUrl(text, QUrl::StrictMode) : QUrl::fromUserInput(text);
  const QString scheme = url.scheme().toLower();
  if (text.isEmpty() || !url.isValid() || url.host().isEmpty() ||
      (scheme != "http" && scheme != "https"))
    return Refuse(QString("\"%1\" is no http or https web address").arg(text));
  return {url, {}};
}

}  // namespace

Target ParseTarget(const QStringList& args) {
  if (args.isEmpty()) return Refuse("nothing to open");
  if (args.size() > 1) return Refuse("only one address may be given");
  const QString& arg = args.front();
  if (arg.startsWith('>')) return MailTarget(arg.mid(1));
  if (arg.startsWith('$')) return WebTarget(arg.mid(1));
  return Refuse(QString("\"%1\" starts with neither \">\" nor \"$\"").arg(arg));
}

int Dial(const QStringList& args, const UrlOpener& open, QString* error) {
  const Target target = ParseTarget(args);
  if (!target.url.isValid()) {
    if (error) *error = target.error;
    return kExitUsage;
  }
  if (!open(target.url)) {
    if (error) *error = QString("the desktop could not open %1").arg(target.url.toString());
    return kExitNotOpened;
  }
  return kExitOpened;
}

}  // namespace kelvo::dial
