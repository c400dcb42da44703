// What the link launcher hands to the desktop: ">mailto:..." a mail
// address, "$url" a web page. Opening goes through a seam so that tests can
// record it instead of starting a mail client or a browser.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace kelvo::dial {

// Returns whether the desktop took the address.
using UrlOpener = std::function<bool(const QUrl&)>;

struct Target {
  QUrl url;       // valid when the argument was understood
  QString error;  // why not, otherwise
};

// The one argument after the program name: ">mailto:<address>" or "$<web
// address>" (http or https; a bare "www.host" is taken as http). A mail link
// keeps only its one plain address: its query and fragment are dropped.
Target ParseTarget(const QStringList& args);

constexpr int kExitOpened = 0;
constexpr int kExitNotOpened = 1;
constexpr int kExitUsage = 2;

// Parses, opens through `open`, and says on `error` why nothing was opened.
int Dial(const QStringList& args, const UrlOpener& open, QString* error);

}  // namespace kelvo::dial
