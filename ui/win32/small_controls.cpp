// The small controls' own window procedures and painting: panels with their shapes and vector
// images, the clickable read-only edit, the notice bar along the bottom, and hints.
#include "ui/win32/form_window.h"

#include <commctrl.h>

#include "ui/win32/contrast.h"
#include "ui/win32/vector_paint.h"

namespace ui::win32 {

namespace {

// Draws off screen first, so a repaint never flickers through white.
void PaintBuffered(HWND hwnd, const VectorDrawing& drawing) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  HDC mem = counted::CreateCompatibleDC(dc);
  HBITMAP bmp = counted::CreateCompatibleBitmap(dc, rc.right, rc.bottom);
  if (mem && bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    FillRect(mem, &rc, WindowBackgroundBrush());
    // In high contrast the logo is drawn in the scheme's text colour, like any text.
    PaintDrawing(mem, rc, WindowBackground(), drawing,
                 HighContrast() ? std::optional<COLORREF>(GetSysColor(COLOR_WINDOWTEXT)) : std::nullopt);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  if (bmp) counted::DeleteObject(bmp);
  if (mem) counted::DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT CALLBACK Win32Application::FormWindow::PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    Native* n = nullptr;
    if (FormWindow* self = FromChild(hwnd, n)) {
      LRESULT result = 0;
      if (self->HandleChildNotify(msg, wParam, lParam, result)) return result;
      if (msg == WM_LBUTTONUP) {
        if (n) n->model->Click();
        return 0;
      }
      if (n && (msg == WM_PAINT || msg == WM_PRINTCLIENT || msg == WM_ERASEBKGND)) {
        if (auto* shape = dynamic_cast<Shape*>(n->model)) {
          if (msg == WM_ERASEBKGND) return 1;  // the shape covers all of itself
          PAINTSTRUCT ps;
          HDC dc = msg == WM_PAINT ? BeginPaint(hwnd, &ps) : reinterpret_cast<HDC>(wParam);
          PaintShape(hwnd, dc, *shape);
          if (msg == WM_PAINT) EndPaint(hwnd, &ps);
          return 0;
        }
      }
      if (msg == WM_ERASEBKGND) {
        // Pages and panels: the form's background, which high contrast changes.
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, WindowBackgroundBrush());
        return 1;
      }
      if (msg == WM_PAINT && n) {
        const VectorDrawing* drawing = nullptr;
        if (auto* image = dynamic_cast<Image*>(n->model)) drawing = &image->Drawing;
        if (auto* indicator = dynamic_cast<Indicator*>(n->model)) drawing = &indicator->Drawing;
        if (drawing) {
          PaintBuffered(hwnd, *drawing);
          return 0;
        }
      }
      if (msg == WM_SETCURSOR && n && n->model->Kind() == ControlKind::Image) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
    }
  } catch (...) {
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Application::FormWindow::PaintShape(HWND hwnd, HDC dc, const Shape& shape) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  // In high contrast a colour of our own (the accent line, active) becomes the highlight; a
  // system colour (the line of an inactive window, grey text) is the scheme's already.
  auto colorOf = [](Color c) {
    return HighContrast() && !IsSystemColor(c) ? GetSysColor(COLOR_HIGHLIGHT) : ToColorRef(c);
  };
  HBRUSH fill = counted::CreateSolidBrush(colorOf(shape.BrushColor()));
  HBRUSH pen = counted::CreateSolidBrush(colorOf(shape.PenColor()));
  FillRect(dc, &rc, fill);
  FrameRect(dc, &rc, pen);
  counted::DeleteObject(fill);
  counted::DeleteObject(pen);
}

LRESULT CALLBACK Win32Application::FormWindow::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Tabbing into the box must not select its text.
  if (msg == WM_GETDLGCODE) return CallOriginal(hwnd, kEditProcProp, msg, wParam, lParam) & ~LRESULT(DLGC_HASSETSEL);
  if (msg == WM_LBUTTONUP) {
    try {
      HWND top = GetAncestor(hwnd, GA_ROOT);
      if (FormWindow* self = top ? FromHwnd(top) : nullptr) {
        const LRESULT r = CallOriginal(hwnd, kEditProcProp, msg, wParam, lParam);
        if (Native* n = self->FindHwnd(hwnd)) n->model->Click();
        return r;
      }
    } catch (...) {
    }
  }
  return CallOriginal(hwnd, kEditProcProp, msg, wParam, lParam);
}

int Win32Application::FormWindow::BottomBarsHeight() const {
  int height = 0;
  for (const Native& n : natives_)
    if (n.model->Kind() == ControlKind::StatusBar) height += n.model->Bounds().Height;
  return height;
}

// Bars stack below the designed client area in the order they were made, and the form grows
// to hold them.
void Win32Application::FormWindow::PlaceStatusBar(Native& n) {
  int top = Scale(form_.ClientHeight());
  for (const Native& other : natives_) {
    if (&other == &n) break;
    if (other.model->Kind() == ControlKind::StatusBar) top += other.model->Bounds().Height;
  }
  MoveWindow(n.hwnd, 0, top, Scale(form_.ClientWidth()), n.model->Bounds().Height, TRUE);
  FitClientSize();
}

void Win32Application::FormWindow::PaintStatusBar(Native& n, HDC dc) {
  RECT rc;
  GetClientRect(n.hwnd, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ oldFont = SelectObject(dc, FontFor(*n.model));
  const std::int32_t color = n.model->FontColor();
  SetTextColor(dc, color < 0 || HighContrast() ? GetSysColor(COLOR_BTNTEXT) : ToColorRef(color));
  SetBkMode(dc, TRANSPARENT);
  std::wstring text = n.model->Caption();
  const UINT reading = (GetWindowLongW(n.hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING) ? DT_RTLREADING : 0u;
  DrawTextW(dc, text.c_str(), int(text.size()), &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX | reading);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK Win32Application::FormWindow::StatusBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    Native* n = nullptr;
    if (FormWindow* self = FromChild(hwnd, n); self && n) {
      switch (msg) {
        case WM_ERASEBKGND:
          return 1;
        case WM_PAINT: {
          PAINTSTRUCT ps;
          HDC dc = BeginPaint(hwnd, &ps);
          self->PaintStatusBar(*n, dc);
          EndPaint(hwnd, &ps);
          return 0;
        }
        case WM_SETCURSOR:
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        case WM_LBUTTONUP:
          n->model->Click();
          return 0;
        default:
          break;
      }
    }
  } catch (...) {
  }
  return CallOriginal(hwnd, kStatusBarProcProp, msg, wParam, lParam);
}

void Win32Application::FormWindow::SetHint(Native& n, const std::wstring& hint) {
  if (!tooltip_) {
    tooltip_ = counted::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, owner_.instance_, nullptr);
    if (!tooltip_) return;
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(n.hwnd);
  TTTOOLINFOW known = tool;
  const bool added = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&known));
  tool.lpszText = const_cast<wchar_t*>(hint.c_str());
  SendMessageW(tooltip_, added ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace ui::win32
