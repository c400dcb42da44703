// The program's own settings in the desktop's settings store (QSettings:
// $XDG_CONFIG_HOME/kelvo32/kelvo32.conf), and the window's place on screen.
#pragma once

#include "core/program_settings.h"

class QWidget;

namespace kelvo::ui {

void LoadProgramSettings(ProgramSettings& prefs);
void SaveProgramSettings(const ProgramSettings& prefs);

// The size and position kept at the last close; false when none is kept.
bool RestoreWindowGeometry(QWidget& window);
void SaveWindowGeometry(const QWidget& window);

}  // namespace kelvo::ui
