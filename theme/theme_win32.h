// The theme on Windows: the window manager's dark frame, and the hook the main window calls.
#pragma once

#include "theme/theme.h"

namespace Vel::Theme {

// Asks the desktop window manager for the dark title bar and frame.
ThemePlatform& SystemThemePlatform();

// Gives `form` its accent line and dark frame; the helper is owned by the form.
TThemeHelper& ApplyAccentLine(ui::Form& form);

}  // namespace Vel::Theme
