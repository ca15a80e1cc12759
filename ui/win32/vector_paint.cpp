// Smooth-edged painting: the toolkit's vector drawings (the logo) and the styled buttons' faces.
#include "ui/win32/vector_paint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ui/win32/object_count.h"

namespace ui::win32 {
namespace {

// Shapes are drawn by GDI at this many times the size and averaged down: smooth edges
// without loading a graphics library into a program that idles all day.
constexpr int kSamples = 4;

COLORREF ToRef(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

HBITMAP MakeDib(HDC dc, int w, int h, std::uint32_t*& bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP bmp = counted::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  bits = static_cast<std::uint32_t*>(p);
  return bmp;
}

void FillShapes(HDC dc, const VectorDrawing& d, float scale, float ox, float oy) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  auto px = [&](float v, float o) { return int(std::lround(o + v * scale)); };
  for (const VectorShape& s : d.Shapes) {
    if (s.kind == VectorShape::Kind::Text) continue;
    HBRUSH brush = counted::CreateSolidBrush(ToRef(s.rgb));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    if (s.kind == VectorShape::Kind::Polygon) {
      std::vector<POINT> pts;
      for (std::size_t i = 0; i + 1 < s.coords.size(); i += 2)
        pts.push_back({px(s.coords[i], ox), px(s.coords[i + 1], oy)});
      if (pts.size() >= 3) Polygon(dc, pts.data(), int(pts.size()));
    } else if (s.coords.size() == 4) {
      Ellipse(dc, px(s.coords[0], ox), px(s.coords[1], oy), px(s.coords[0] + s.coords[2], ox),
              px(s.coords[1] + s.coords[3], oy));
    }
    SelectObject(dc, oldBrush);
    counted::DeleteObject(brush);
  }
  SelectObject(dc, oldPen);
}

// Draws the filled shapes over `background` into `box` of `dc`, antialiased by supersampling.
void FillSmooth(HDC dc, const RECT& box, COLORREF background, const VectorDrawing& d, float scale, float ox,
                float oy) {
  const int w = box.right - box.left, h = box.bottom - box.top;
  if (w <= 0 || h <= 0) return;
  HDC big = counted::CreateCompatibleDC(dc), small = counted::CreateCompatibleDC(dc);
  std::uint32_t *bigBits = nullptr, *smallBits = nullptr;
  HBITMAP bigBmp = MakeDib(dc, w * kSamples, h * kSamples, bigBits);
  HBITMAP smallBmp = MakeDib(dc, w, h, smallBits);
  if (big && small && bigBmp && smallBmp) {
    HGDIOBJ oldBig = SelectObject(big, bigBmp);
    HGDIOBJ oldSmall = SelectObject(small, smallBmp);
    HBRUSH bg = counted::CreateSolidBrush(background);
    RECT all{0, 0, w * kSamples, h * kSamples};
    FillRect(big, &all, bg);
    counted::DeleteObject(bg);
    FillShapes(big, d, scale * kSamples, (ox - float(box.left)) * kSamples, (oy - float(box.top)) * kSamples);
    GdiFlush();
    const int bw = w * kSamples;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        unsigned r = 0, g = 0, b = 0;
        for (int sy = 0; sy < kSamples; ++sy) {
          const std::uint32_t* row = bigBits + std::size_t(y * kSamples + sy) * std::size_t(bw) + x * kSamples;
          for (int sx = 0; sx < kSamples; ++sx) {
            r += (row[sx] >> 16) & 0xFF;
            g += (row[sx] >> 8) & 0xFF;
            b += row[sx] & 0xFF;
          }
        }
        constexpr unsigned n = kSamples * kSamples;
        smallBits[std::size_t(y) * std::size_t(w) + std::size_t(x)] = (r / n) << 16 | (g / n) << 8 | (b / n);
      }
    }
    BitBlt(dc, box.left, box.top, w, h, small, 0, 0, SRCCOPY);
    SelectObject(big, oldBig);
    SelectObject(small, oldSmall);
  }
  if (bigBmp) counted::DeleteObject(bigBmp);
  if (smallBmp) counted::DeleteObject(smallBmp);
  if (big) counted::DeleteDC(big);
  if (small) counted::DeleteDC(small);
}

void DrawTexts(HDC dc, const VectorDrawing& d, float scale, float ox, float oy) {
  SetBkMode(dc, TRANSPARENT);
  for (const VectorShape& s : d.Shapes) {
    if (s.kind != VectorShape::Kind::Text || s.coords.size() < 3) continue;
    HFONT font = counted::CreateFontW(-int(std::lround(s.coords[2] * scale)), 0, 0, 0, s.bold ? FW_BOLD : FW_NORMAL,
                                      FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      ANTIALIASED_QUALITY, DEFAULT_PITCH, s.font.c_str());
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, ToRef(s.rgb));
    TextOutW(dc, int(std::lround(ox + s.coords[0] * scale)), int(std::lround(oy + s.coords[1] * scale)),
             s.text.c_str(), int(s.text.size()));
    SelectObject(dc, old);
    counted::DeleteObject(font);
  }
}

}  // namespace

void PaintDrawing(HDC dc, const RECT& box, COLORREF background, const VectorDrawing& original,
                  std::optional<COLORREF> ink) {
  VectorDrawing inked;
  if (ink) {
    inked = original;
    for (VectorShape& s : inked.Shapes) s.rgb = std::uint32_t(GetRValue(*ink)) << 16 | GetGValue(*ink) << 8 | GetBValue(*ink);
  }
  const VectorDrawing& drawing = ink ? inked : original;
  if (drawing.Width <= 0 || drawing.Height <= 0) return;
  const float w = float(box.right - box.left), h = float(box.bottom - box.top);
  const float scale = std::min(w / drawing.Width, h / drawing.Height);
  const float ox = float(box.left) + (w - drawing.Width * scale) / 2;
  const float oy = float(box.top) + (h - drawing.Height * scale) / 2;
  FillSmooth(dc, box, background, drawing, scale, ox, oy);
  DrawTexts(dc, drawing, scale, ox, oy);
}

void PaintStyledButton(HDC dc, const RECT& box, const TStyledButtonAttributes& look, int radius, double scale,
                       COLORREF background, const std::wstring& caption, HFONT font, bool rtlReading) {
  const int w = box.right - box.left, h = box.bottom - box.top;
  if (w <= 0 || h <= 0) return;
  const std::uint32_t bg = std::uint32_t(GetRValue(background)) << 16 | std::uint32_t(GetGValue(background)) << 8 |
                           GetBValue(background);
  const std::vector<std::uint32_t> face = RenderButtonFace(w, h, scale, radius, look, bg);
  HDC mem = counted::CreateCompatibleDC(dc);
  std::uint32_t* bits = nullptr;
  HBITMAP bmp = MakeDib(dc, w, h, bits);
  if (mem && bmp && bits) {
    std::copy(face.begin(), face.end(), bits);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    HFONT styled = nullptr;
    if (look.FontStyle != 0 && font) {
      LOGFONTW lf{};
      GetObjectW(font, sizeof lf, &lf);
      if (look.FontStyle & fsBold) lf.lfWeight = FW_BOLD;
      lf.lfItalic = (look.FontStyle & fsItalic) ? TRUE : FALSE;
      lf.lfUnderline = (look.FontStyle & fsUnderline) ? TRUE : FALSE;
      lf.lfStrikeOut = (look.FontStyle & fsStrikeOut) ? TRUE : FALSE;
      styled = counted::CreateFontIndirectW(&lf);
    }
    HGDIOBJ oldFont = SelectObject(mem, styled ? styled : font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, ToRef(std::uint32_t(look.FontColor)));
    // Wrapped when it must be, and centred as a block both ways.
    const int pad = int(std::lround(4 * scale));
    RECT text{pad, pad, w - pad, h - pad};
    const UINT flags = DT_CENTER | DT_WORDBREAK | DT_HIDEPREFIX | (rtlReading ? DT_RTLREADING : 0u);
    RECT measured = text;
    DrawTextW(mem, caption.c_str(), int(caption.size()), &measured, flags | DT_CALCRECT);
    const int textHeight = measured.bottom - measured.top;
    text.top = std::max(pad, (h - textHeight) / 2);
    text.bottom = text.top + textHeight;
    DrawTextW(mem, caption.c_str(), int(caption.size()), &text, flags);
    BitBlt(dc, box.left, box.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldFont);
    SelectObject(mem, oldBmp);
    if (styled) counted::DeleteObject(styled);
  }
  if (bmp) counted::DeleteObject(bmp);
  if (mem) counted::DeleteDC(mem);
}

}  // namespace ui::win32
