// Paints the toolkit's vector drawings, antialiased through GDI+ when the system has it.
#pragma once

#include <windows.h>

#include "ui/control.h"

namespace ui::win32 {

// Draws `drawing` scaled uniformly into `box` and centred there; fonts scale with it.
void PaintDrawing(HDC dc, const RECT& box, const VectorDrawing& drawing);

}  // namespace ui::win32
