// Paints the toolkit's vector drawings with smooth edges at any scale.
#pragma once

#include <windows.h>

#include "ui/control.h"

namespace ui::win32 {

// Draws `drawing` over `background`, scaled uniformly into `box` and centred there; fonts
// scale with it.
void PaintDrawing(HDC dc, const RECT& box, COLORREF background, const VectorDrawing& drawing);

}  // namespace ui::win32
