#include "ui/win32/vector_paint.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/win32/win32_ui.h"

namespace ui::win32 {
namespace {

// The few GDI+ flat-API entries we use; GDI+ is loaded from System32 at first use.
struct PointF {
  float X, Y;
};
struct StartupInput {
  UINT32 GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = TRUE;
};
using StartupFn = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
using CreateFromHdcFn = int(WINAPI*)(HDC, void**);
using SetSmoothingModeFn = int(WINAPI*)(void*, int);
using CreateSolidFillFn = int(WINAPI*)(DWORD, void**);
using FillPolygonFn = int(WINAPI*)(void*, void*, const PointF*, INT, int);
using FillEllipseFn = int(WINAPI*)(void*, void*, float, float, float, float);
using DeleteFn = int(WINAPI*)(void*);

constexpr int kSmoothingAntiAlias = 4;
constexpr int kFillModeWinding = 1;

struct GdiPlus {
  CreateFromHdcFn createFromHdc = nullptr;
  SetSmoothingModeFn setSmoothing = nullptr;
  CreateSolidFillFn createSolidFill = nullptr;
  FillPolygonFn fillPolygon = nullptr;
  FillEllipseFn fillEllipse = nullptr;
  DeleteFn deleteBrush = nullptr;
  DeleteFn deleteGraphics = nullptr;
  bool ready = false;

  GdiPlus() {
    HMODULE dll = LoadSystemLibrary(L"gdiplus.dll");
    if (!dll) return;
    auto get = [dll](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
    auto startup = reinterpret_cast<StartupFn>(get("GdiplusStartup"));
    createFromHdc = reinterpret_cast<CreateFromHdcFn>(get("GdipCreateFromHDC"));
    setSmoothing = reinterpret_cast<SetSmoothingModeFn>(get("GdipSetSmoothingMode"));
    createSolidFill = reinterpret_cast<CreateSolidFillFn>(get("GdipCreateSolidFill"));
    fillPolygon = reinterpret_cast<FillPolygonFn>(get("GdipFillPolygon"));
    fillEllipse = reinterpret_cast<FillEllipseFn>(get("GdipFillEllipse"));
    deleteBrush = reinterpret_cast<DeleteFn>(get("GdipDeleteBrush"));
    deleteGraphics = reinterpret_cast<DeleteFn>(get("GdipDeleteGraphics"));
    if (!startup || !createFromHdc || !setSmoothing || !createSolidFill || !fillPolygon || !fillEllipse ||
        !deleteBrush || !deleteGraphics)
      return;
    // Kept for the life of the process: the drawings repaint until the very end.
    ULONG_PTR token = 0;
    StartupInput input;
    ready = startup(&token, &input, nullptr) == 0;
  }
};

GdiPlus& Gdip() {
  static GdiPlus instance;
  return instance;
}

COLORREF ToRef(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

void FillShapesGdiPlus(HDC dc, const VectorDrawing& d, float scale, float ox, float oy) {
  GdiPlus& g = Gdip();
  void* graphics = nullptr;
  if (g.createFromHdc(dc, &graphics) != 0) return;
  g.setSmoothing(graphics, kSmoothingAntiAlias);
  for (const VectorShape& s : d.Shapes) {
    if (s.kind == VectorShape::Kind::Text) continue;
    void* brush = nullptr;
    if (g.createSolidFill(0xFF000000u | s.rgb, &brush) != 0) continue;
    if (s.kind == VectorShape::Kind::Polygon) {
      std::vector<PointF> pts;
      for (std::size_t i = 0; i + 1 < s.coords.size(); i += 2)
        pts.push_back({ox + s.coords[i] * scale, oy + s.coords[i + 1] * scale});
      g.fillPolygon(graphics, brush, pts.data(), INT(pts.size()), kFillModeWinding);
    } else if (s.coords.size() == 4) {
      g.fillEllipse(graphics, brush, ox + s.coords[0] * scale, oy + s.coords[1] * scale, s.coords[2] * scale,
                    s.coords[3] * scale);
    }
    g.deleteBrush(brush);
  }
  g.deleteGraphics(graphics);
}

void FillShapesGdi(HDC dc, const VectorDrawing& d, float scale, float ox, float oy) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  for (const VectorShape& s : d.Shapes) {
    if (s.kind == VectorShape::Kind::Text) continue;
    HBRUSH brush = CreateSolidBrush(ToRef(s.rgb));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    auto px = [&](float v, float o) { return int(std::lround(o + v * scale)); };
    if (s.kind == VectorShape::Kind::Polygon) {
      std::vector<POINT> pts;
      for (std::size_t i = 0; i + 1 < s.coords.size(); i += 2)
        pts.push_back({px(s.coords[i], ox), px(s.coords[i + 1], oy)});
      Polygon(dc, pts.data(), int(pts.size()));
    } else if (s.coords.size() == 4) {
      Ellipse(dc, px(s.coords[0], ox), px(s.coords[1], oy), px(s.coords[0] + s.coords[2], ox),
              px(s.coords[1] + s.coords[3], oy));
    }
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  }
  SelectObject(dc, oldPen);
}

void DrawTexts(HDC dc, const VectorDrawing& d, float scale, float ox, float oy) {
  SetBkMode(dc, TRANSPARENT);
  for (const VectorShape& s : d.Shapes) {
    if (s.kind != VectorShape::Kind::Text || s.coords.size() < 3) continue;
    HFONT font = CreateFontW(-int(std::lround(s.coords[2] * scale)), 0, 0, 0, s.bold ? FW_BOLD : FW_NORMAL, FALSE,
                             FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             ANTIALIASED_QUALITY, DEFAULT_PITCH, s.font.c_str());
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, ToRef(s.rgb));
    TextOutW(dc, int(std::lround(ox + s.coords[0] * scale)), int(std::lround(oy + s.coords[1] * scale)),
             s.text.c_str(), int(s.text.size()));
    SelectObject(dc, old);
    DeleteObject(font);
  }
}

}  // namespace

void PaintDrawing(HDC dc, const RECT& box, const VectorDrawing& drawing) {
  if (drawing.Width <= 0 || drawing.Height <= 0) return;
  const float w = float(box.right - box.left), h = float(box.bottom - box.top);
  const float scale = std::min(w / drawing.Width, h / drawing.Height);
  const float ox = float(box.left) + (w - drawing.Width * scale) / 2;
  const float oy = float(box.top) + (h - drawing.Height * scale) / 2;
  if (Gdip().ready)
    FillShapesGdiPlus(dc, drawing, scale, ox, oy);
  else
    FillShapesGdi(dc, drawing, scale, ox, oy);
  DrawTexts(dc, drawing, scale, ox, oy);
}

}  // namespace ui::win32
