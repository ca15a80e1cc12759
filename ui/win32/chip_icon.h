// The tray's memory-chip glyph, drawn at any icon size.
#pragma once

#include <windows.h>

namespace ui::win32 {

// A chip of colour `body` with four pins of colour `pins` along its top and bottom edges, on a
// transparent square of `size` pixels; null when no bitmap could be made.
HICON MakeChipIcon(int size, COLORREF body, COLORREF pins);

}  // namespace ui::win32
