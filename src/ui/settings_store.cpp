#include "ui/settings_store.h"

#include <QSettings>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "run/recovery.h"

namespace kelvo::ui {

namespace {

std::unique_ptr<QSettings> Store() {
  return std::make_unique<QSettings>("kelvo32", "kelvo32");
}

// Paths are bytes, in whatever encoding their file system has: kept as
// bytes, never as text.
QByteArray Bytes(const std::string& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

void LoadProgramSettings(ProgramSettings& prefs) {
  auto store = Store();
  prefs.WriteSfv = store->value("sfv", prefs.WriteSfv).toBool();
  prefs.WriteRecovery = store->value("par2", prefs.WriteRecovery).toBool();
  prefs.RecoveryPercent = std::clamp(store->value("par2Percent", prefs.RecoveryPercent).toInt(),
                                     kMinRecoveryPercent, kMaxRecoveryPercent);
  prefs.WriteNfoPicture = store->value("nfoPicture", prefs.WriteNfoPicture).toBool();
  store->beginGroup("folders");
  for (const QString& key : store->childKeys())
    prefs.LastFolders[key.toUtf8().toStdString()] = store->value(key).toByteArray().toStdString();
  store->endGroup();
}

void SaveProgramSettings(const ProgramSettings& prefs) {
  auto store = Store();
  store->setValue("sfv", prefs.WriteSfv);
  store->setValue("par2", prefs.WriteRecovery);
  store->setValue("par2Percent", prefs.RecoveryPercent);
  store->setValue("nfoPicture", prefs.WriteNfoPicture);
  store->remove("folders");
  store->beginGroup("folders");
  for (const auto& [title, folder] : prefs.LastFolders)
    store->setValue(QString::fromStdString(title), Bytes(folder));
  store->endGroup();
}

bool RestoreWindowGeometry(QWidget& window) {
  QByteArray geometry = Store()->value("window/geometry").toByteArray();
  // Qt moves a window kept on a screen that is gone back onto one.
  return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void SaveWindowGeometry(const QWidget& window) {
  Store()->setValue("window/geometry", window.saveGeometry());
}

}  // namespace kelvo::ui
