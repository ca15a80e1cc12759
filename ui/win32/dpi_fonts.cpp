// DPI and fonts: the form's scale, the scaled places and sizes of its controls and of the form
// itself, and the fonts they draw their text in.
#include "ui/win32/form_window.h"

#include <shellapi.h>

#include "ui/decimal_text.h"

namespace ui::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

}  // namespace

UINT WindowDpi(HWND hwnd) {
  static const auto getDpi = UserProc<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpi && hwnd) {
    if (UINT dpi = getDpi(hwnd)) return dpi;
  }
  HDC dc = counted::GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  counted::ReleaseDC(nullptr, dc);
  return dpi > 0 ? UINT(dpi) : 96u;
}

// Scales the control's edges as positions in the form, so that rounding never accumulates
// down the parent chain; returns them relative to the parent.
RECT Win32Application::FormWindow::ScaledRect(const Control& c) const {
  int x = 0, y = 0;
  for (const Control* p = c.Parent(); p && p->Kind() != ControlKind::Form; p = p->Parent()) {
    x += p->Bounds().Left;
    y += p->Bounds().Top;
  }
  const Rect& r = c.Bounds();
  return {Scale(x + r.Left) - Scale(x), Scale(y + r.Top) - Scale(y), Scale(x + r.Left + r.Width) - Scale(x),
          Scale(y + r.Top + r.Height) - Scale(y)};
}

void Win32Application::FormWindow::ApplyBounds(Native& n) {
  if (n.model->Kind() == ControlKind::StatusBar) {
    PlaceStatusBar(n);
    return;
  }
  const RECT r = PlaceFor(*n.model);
  MoveUnlessThere(n.hwnd, r);
  if (n.model->Kind() == ControlKind::ComboBox) FitComboHeight(n);
  if (n.frame) MoveUnlessThere(n.frame, {0, 0, r.right - r.left, r.bottom - r.top});
}

RECT Win32Application::FormWindow::PlaceFor(const Control& c) const {
  if (c.Kind() == ControlKind::StatusBar) return {};  // placed with the form: PlaceStatusBar
  RECT r = ScaledRect(c);
  // A drop-down list's window height includes its open list.
  if (c.Kind() == ControlKind::ComboBox) r.bottom = r.top + Scale(160);
  return r;
}

// Under Wine a move costs even when nothing moves; at start-up every control is already in place.
void Win32Application::FormWindow::MoveUnlessThere(HWND hwnd, const RECT& r) {
  RECT now;
  if (GetWindowRect(hwnd, &now)) {
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&now), 2);
    if (EqualRect(&now, &r)) return;
  }
  MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

// A closed drop-down list is as high as its font makes it; set its field so that the whole
// control has the layout's height at this DPI.
void Win32Application::FormWindow::FitComboHeight(Native& n) {
  const RECT box = ScaledRect(*n.model);
  const int target = box.bottom - box.top;
  // Steer by what we set, not by what the control reports: some systems answer the field
  // height with a padding that they add themselves.
  LRESULT field = SendMessageW(n.hwnd, CB_GETITEMHEIGHT, WPARAM(-1), 0);
  for (int step = 0; step < 4 && field > 0; ++step) {
    RECT wr;
    GetWindowRect(n.hwnd, &wr);
    const int off = target - (wr.bottom - wr.top);
    if (off == 0 || field + off <= 0) return;
    field += off;
    SendMessageW(n.hwnd, CB_SETITEMHEIGHT, WPARAM(-1), field);
  }
}

void Win32Application::FormWindow::FitClientSize() {
  const int clientHeight = Scale(form_.ClientHeight()) + BottomBarsHeight();
  RECT r{0, 0, Scale(form_.ClientWidth()), clientHeight};
  const DWORD style = DWORD(GetWindowLongW(hwnd_, GWL_STYLE));
  const DWORD exStyle = DWORD(GetWindowLongW(hwnd_, GWL_EXSTYLE));
  static const auto adjust = UserProc<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  if (!(adjust && adjust(&r, style, FALSE, exStyle, dpi_))) AdjustWindowRectEx(&r, style, FALSE, exStyle);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Not every system scales the frame as the adjustment predicts: make the client area exact.
  RECT client;
  GetClientRect(hwnd_, &client);
  const int dw = Scale(form_.ClientWidth()) - client.right, dh = clientHeight - client.bottom;
  if (dw || dh)
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Application::FormWindow::MakeFonts() {
  for (auto& [name, font] : ownFonts_) counted::DeleteObject(font);
  ownFonts_.clear();
  if (designFont_) counted::DeleteObject(designFont_);
  if (desktopFont_) counted::DeleteObject(desktopFont_);
  designFont_ = counted::CreateFontW(-Scale(11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY,
                                     0, L"Tahoma");
  LOGFONTW lf{};
  static const auto forDpi = UserProc<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  if (!(forDpi && forDpi(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0, dpi_))) {
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
    lf.lfHeight = MulDiv(lf.lfHeight, int(dpi_), int(WindowDpi(nullptr)));
  }
  desktopFont_ = counted::CreateFontIndirectW(&lf);
  if (boldFont_) counted::DeleteObject(boldFont_);
  LOGFONTW base{};
  GetObjectW(form_.UsesDesktopFont() ? desktopFont_ : designFont_, sizeof base, &base);
  base.lfWeight = FW_BOLD;
  boldFont_ = counted::CreateFontIndirectW(&base);
}

HFONT Win32Application::FormWindow::FontFor(Control& c) {
  if (!c.OwnFontName().empty()) {
    const std::wstring key = c.OwnFontName() + L"/" + ui::DecimalText(c.OwnFontHeight());
    auto it = ownFonts_.find(key);
    if (it == ownFonts_.end()) {
      HFONT f = counted::CreateFontW(-Scale(c.OwnFontHeight()), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                     ANTIALIASED_QUALITY, 0, c.OwnFontName().c_str());
      it = ownFonts_.emplace(key, f).first;
    }
    return it->second;
  }
  if (c.FontBold()) return boldFont_;
  return form_.UsesDesktopFont() ? desktopFont_ : designFont_;
}

void Win32Application::FormWindow::ApplyFont(Native& n) {
  HFONT f = FontFor(*n.model);
  SendMessageW(n.hwnd, WM_SETFONT, WPARAM(f), TRUE);
  if (n.frame) SendMessageW(n.frame, WM_SETFONT, WPARAM(f), TRUE);
  if (n.model->Kind() == ControlKind::ComboBox) FitComboHeight(n);
}

void Win32Application::FormWindow::ApplyFonts() {
  for (Native& n : natives_) ApplyFont(n);
}

void Win32Application::FormWindow::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  MakeFonts();
  ApplyFonts();
  for (Native& n : natives_) ApplyBounds(n);
  FitClientSize();
  MakeTrayImages();
  MakeWindowIcons();
  for (TrayIcon* t : trays_)
    if (t->Visible()) TrayUpdate(*t, NIM_MODIFY);
}

}  // namespace ui::win32
