#include "ui/win32/contrast.h"

namespace ui::win32 {

namespace {
std::optional<bool> gForced;
int gSystem = -1;  // unknown until first asked

bool AskSystem() {
  HIGHCONTRASTW hc{};
  hc.cbSize = sizeof hc;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}
}  // namespace

bool HighContrast() {
  if (gForced) return *gForced;
  if (gSystem < 0) gSystem = AskSystem();
  return gSystem != 0;
}

bool RefreshHighContrast() {
  const bool before = HighContrast();
  gSystem = AskSystem();
  return HighContrast() != before;
}

void ForceHighContrast(std::optional<bool> on) { gForced = on; }

COLORREF WindowBackground() { return HighContrast() ? GetSysColor(COLOR_WINDOW) : RGB(255, 255, 255); }

HBRUSH WindowBackgroundBrush() {
  // Both are the system's own: never deleted.
  return HighContrast() ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

COLORREF WindowTextColor(COLORREF own, bool enabled) {
  if (!HighContrast()) return own;
  return GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
}

}  // namespace ui::win32
