// High contrast: when the user has it on, everything paints with the system's colour pairs
// (window and window text, button face and button text, highlight and highlight text, grey
// text for what is disabled) instead of our white and our colours, which vanish or glare in a
// high-contrast scheme.
#pragma once

#include <windows.h>

#include <optional>

namespace ui::win32 {

// On or off, as last read; read again by RefreshHighContrast.
bool HighContrast();
// After WM_SETTINGCHANGE or WM_SYSCOLORCHANGE. True when the answer changed.
bool RefreshHighContrast();
// Tests: Wine always answers off (and cannot be switched on), so they say it instead. Nothing
// given: the system's answer again.
void ForceHighContrast(std::optional<bool> on);

// The window's background and its brush: white, or the scheme's window colour.
COLORREF WindowBackground();
HBRUSH WindowBackgroundBrush();
// Text on the window background: `own` (already a COLORREF) unless high contrast is on.
COLORREF WindowTextColor(COLORREF own, bool enabled);

}  // namespace ui::win32
