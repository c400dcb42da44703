// The seven panels of the main window. Each is written from the job and the
// view state by Render(), which reads the model and changes nothing, and
// each element's action calls its operation through the window's Act (the
// session), which refreshes the figures and renders the window afterwards.
#pragma once

#include <QColor>
#include <QFrame>
#include <functional>

#include "core/context.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;

namespace kelvo::ui {

class Marquee;
class TextPreviewPane;

// Runs one user action, then renders the whole window.
using ActFn = std::function<void(const std::function<void()>&)>;

class PanelBase : public QFrame {
 public:
  PanelBase(Context& ctx, ActFn act, QWidget* parent);
  // Writes the panel's widgets from the model; reads no file.
  virtual void Render(const Context& model) = 0;

 protected:
  // A read-only one-line display of a path; the mouse entering it shows the
  // whole text as its tooltip.
  QLineEdit* PathDisplay();
  QPushButton* Button(const QString& caption, std::function<void()> operation);

  Context& ctx_;
  ActFn act_;
};

class SourcePanel : public PanelBase {
 public:
  SourcePanel(Context& ctx, ActFn act, QWidget* parent);
  void Render(const Context& model) override;

  QGroupBox* driveGroup;
  QComboBox* driveList;
  QLabel* freeSpace;
  QCheckBox* iso;
  QLineEdit* sourcePath;
  QPushButton* browse;
  QLabel* sourceSize;
  QLabel* caption;
};

class SkipPanel : public PanelBase {
 public:
  SkipPanel(Context& ctx, ActFn act, QWidget* parent);
  void Render(const Context& model) override;

  QRadioButton* subDir;
  QRadioButton* file;
  QPushButton* browse;
  QPushButton* clear;
  QPlainTextEdit* entries;
  QLabel* caption;
};

class DizPanel : public PanelBase {
 public:
  DizPanel(Context& ctx, ActFn act, QWidget* parent);
  void Render(const Context& model) override;

  QLabel* caption;
  QLineEdit* dizPath;
  QPushButton* browse;
  QPushButton* create;
  QPushButton* edit;
  QPushButton* picture;
  QLabel* numberingCaption;
  QRadioButton* none;
  QRadioButton* substitute;
  QLineEdit* column;
  QLabel* lineCaption;
  QLineEdit* line;
  QPushButton* test;
  QLabel* previewZipCaption;
  QSpinBox* previewZip;  // 0: the check's sample stamp
  TextPreviewPane* preview;
  QLabel* previewNote;
};

class NfoPanel : public PanelBase {
 public:
  NfoPanel(Context& ctx, ActFn act, QWidget* parent);
  void Render(const Context& model) override;

  QLineEdit* nfoPath;
  QPushButton* browse;
  QPushButton* create;
  QPushButton* edit;
  QPushButton* picture;
  QCheckBox* firstZipOnly;
  QLabel* extraCaption;
  QRadioButton* extraFile;
  QRadioButton* extraDirectory;
  QLineEdit* extraPath;
  QPushButton* extraBrowse;
  TextPreviewPane* preview;
  QLabel* previewNote;
};

class ZipPanel : public PanelBase {
 public:
  ZipPanel(Context& ctx, ActFn act, QWidget* parent);
  void Render(const Context& model) override;

  QLabel* storageCaption;
  QLineEdit* storageDir;
  QPushButton* browse;
  QLabel* freeSpace;
  QLabel* baseNameCaption;
  QLineEdit* baseName;
  QLabel* sizeCaption;
  QScrollBar* archiveSize;
  QLabel* sizeText;
  QLabel* estimate;
  QRadioButton* rar;
  QRadioButton* ace;
  QLabel* compressionCaption;
  QListWidget* compression;
  QCheckBox* zipExtra;
  QCheckBox* sfv;
  QCheckBox* recovery;
  QSpinBox* recoveryPercent;
  QCheckBox* nfoPicture;
  QLabel* fit;
  QLabel* fitWarning;
};

class RunPanel : public PanelBase {
 public:
  // "&Abort" and "E&xit" act while the run is in progress; "&Resume" after
  // a run that ended early and can be resumed.
  RunPanel(Context& ctx, ActFn act, std::function<void()> abortRun,
           std::function<void()> exitProgram, std::function<void()> resumeRun, QWidget* parent);
  void Render(const Context& model) override;

  QLabel* endingIcon;  // beside the status line: how the last run ended
  QLabel* status;
  QLabel* currentZip;
  QLabel* counter;
  QProgressBar* progress;
  // Where the last run's volumes stay, and the button that shows them.
  QLabel* leftVolumes;
  QPushButton* openFolder;
  QPushButton* resume;
  QPushButton* abort;
  QPushButton* exit;

 private:
  // The picture beside the status line for how the last run ended.
  void ShowEnding(RunEnd ending);
};

class AboutPanel : public PanelBase {
 public:
  AboutPanel(Context& ctx, ActFn act, QWidget* parent);
  void Render(const Context& model) override;

  // The blue of a link under the mouse.
  static const QColor kLinkHighlight;

  QLabel* webPage;
  QLabel* email;
  Marquee* marquee;
  QLabel* text;

 protected:
  // The link panels: highlighted under the mouse, started by a click.
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kelvo::ui
