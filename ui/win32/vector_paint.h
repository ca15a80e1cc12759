// Paints the toolkit's vector drawings with smooth edges at any scale.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "ui/control.h"
#include "ui/styled_button.h"

namespace ui::win32 {

// Draws `drawing` over `background`, scaled uniformly into `box` and centred there; fonts
// scale with it.
// `ink`, when given, replaces every shape's own colour.
void PaintDrawing(HDC dc, const RECT& box, COLORREF background, const VectorDrawing& drawing,
                  std::optional<COLORREF> ink = std::nullopt);

// Paints a styled button's face in `look` (plain RGB colours) over `background` into `box`,
// with its caption centred in `font`, in right-to-left reading order with `rtlReading`. `scale`
// is the DPI over 96.
void PaintStyledButton(HDC dc, const RECT& box, const TStyledButtonAttributes& look, int radius, double scale,
                       COLORREF background, const std::wstring& caption, HFONT font, bool rtlReading);

}  // namespace ui::win32
