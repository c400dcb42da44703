// One running copy per user and application directory: a second copy asks
// the first to restore and raise its window, then ends.
#pragma once

#include <QLocalServer>
#include <QString>
#include <functional>

namespace kelvo::ui {

class SingleInstance {
 public:
  explicit SingleInstance(const QString& appHostDir);
  ~SingleInstance();

  // True when this is the first copy: it then listens for later ones and
  // calls `onRaise` for each.
  bool Claim(std::function<void()> onRaise);
  // Asks the running copy to show its window; false when none answered.
  bool AskFirstToRaise() const;

  QString Key() const { return key_; }

 private:
  QString key_;
  QLocalServer server_;
};

}  // namespace kelvo::ui
