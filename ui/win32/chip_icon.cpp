// The memory-chip glyph of the tray icon, in 32-bit colour with alpha.
#include "ui/win32/chip_icon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ui/win32/object_count.h"

namespace ui::win32 {

HICON MakeChipIcon(int size, COLORREF body, COLORREF pins) {
  BITMAPV5HEADER bi{};
  bi.bV5Size = sizeof bi;
  bi.bV5Width = size;
  bi.bV5Height = -size;
  bi.bV5Planes = 1;
  bi.bV5BitCount = 32;
  bi.bV5Compression = BI_BITFIELDS;
  bi.bV5RedMask = 0x00FF0000;
  bi.bV5GreenMask = 0x0000FF00;
  bi.bV5BlueMask = 0x000000FF;
  bi.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC dc = counted::GetDC(nullptr);
  HBITMAP color = counted::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  counted::ReleaseDC(nullptr, dc);
  if (!color) return nullptr;
  auto* px = static_cast<std::uint32_t*>(bits);
  auto argb = [](COLORREF c) {
    return 0xFF000000u | std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | GetBValue(c);
  };
  const double u = size / 16.0;  // glyph designed on a 16-unit grid
  auto fill = [&](double l, double t, double r, double b, std::uint32_t c) {
    for (int y = int(std::lround(t * u)); y < int(std::lround(b * u)); ++y)
      for (int x = int(std::lround(l * u)); x < int(std::lround(r * u)); ++x)
        if (x >= 0 && y >= 0 && x < size && y < size) px[y * size + x] = c;
  };
  std::fill(px, px + size * size, 0u);
  for (int i = 0; i < 4; ++i) {
    const double x = 3.5 + i * 2.5;
    fill(x, 1, x + 1.5, 4, argb(pins));
    fill(x, 12, x + 1.5, 15, argb(pins));
  }
  fill(2, 4, 14, 12, argb(body));
  // The alpha channel decides; the mask must still be defined, so all zero.
  const std::vector<std::uint8_t> zeros(std::size_t((size + 15) / 16 * 2 * size), 0);
  HBITMAP mask = counted::CreateBitmap(size, size, 1, 1, zeros.data());
  ICONINFO ii{TRUE, 0, 0, mask, color};
  HICON icon = counted::CreateIconIndirect(&ii);
  counted::DeleteObject(mask);
  counted::DeleteObject(color);
  return icon;
}

}  // namespace ui::win32
