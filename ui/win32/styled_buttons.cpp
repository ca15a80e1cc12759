// Styled buttons (the toolbar's and the clean button): their faces in the family's look for
// each state, and the pointer handling that decides the state.
#include "ui/win32/form_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "ui/styled_button.h"
#include "ui/win32/contrast.h"
#include "ui/win32/vector_paint.h"

namespace ui::win32 {

Color Resolved(Color c) {
  if (!IsSystemColor(c)) return c;
  const COLORREF r = GetSysColor(c & 0xFF);
  return Color(GetRValue(r) << 16 | GetGValue(r) << 8 | GetBValue(r));
}

bool IsStyledButton(const Control& c) {
  return c.Kind() == ControlKind::ToolButton || c.Kind() == ControlKind::Button;
}

bool CursorOver(HWND hwnd) {
  POINT pt;
  return GetCursorPos(&pt) && WindowFromPoint(pt) == hwnd;
}

void TrackLeave(HWND hwnd) {
  TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
  TrackMouseEvent(&tme);
}

void Win32Application::FormWindow::ResetPointer(Native& n) {
  // A disabled button sees no pointer; once enabled again, it is hot if the pointer is there.
  if (!n.model->Enabled() && GetCapture() == n.hwnd) ReleaseCapture();
  n.pressed = false;
  n.hot = n.model->Enabled() && CursorOver(n.hwnd);
  if (n.hot) TrackLeave(n.hwnd);
}

void Win32Application::FormWindow::PaintButton(Native& n, HDC dc, const RECT& rc) {
  Control& c = *n.model;
  const bool toolButton = c.Kind() == ControlKind::ToolButton;
  const ButtonStyle& style = toolButton ? static_cast<ToolButton&>(c).Style() : static_cast<Button&>(c).Style();
  const bool down = toolButton && static_cast<ToolButton&>(c).Down();
  const TStyledButtonState state = ChooseButtonState(c.Enabled(), n.pressed, down, false, n.hot);
  TStyledButtonAttributes look = ButtonAttributes(style, state);
  if (HighContrast()) {
    // The scheme's pairs instead of the family's colours: face and text, highlight under the
    // pointer or held down, grey text when disabled.
    const bool lit = state == TStyledButtonState::bsmHot || state == TStyledButtonState::bsmPressed ||
                     state == TStyledButtonState::bsmSelected;
    const int face = lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE;
    const int text = state == TStyledButtonState::bsmDisabled ? COLOR_GRAYTEXT : lit ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT;
    look.ButtonDrawStyle = TBtnDrawStyle::btnSolid;
    look.BorderDrawStyle = TBorderDrawStyle::brdSolid;
    look.ButtonColor = SystemColor(face);
    look.BorderColor = SystemColor(text);
    look.FontColor = SystemColor(text);
  }
  look.ButtonColor = Resolved(look.ButtonColor);
  look.BorderColor = Resolved(look.BorderColor);
  look.FontColor = Resolved(look.FontColor);
  const bool rtlReading = (GetWindowLongW(n.hwnd, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
  PaintStyledButton(dc, rc, look, style.Radius, double(dpi_) / 96, WindowBackground(), c.Caption(), FontFor(c),
                    rtlReading);
}

bool Win32Application::FormWindow::HandleStyledButton(Native& n, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  HWND h = n.hwnd;
  result = 0;
  auto inside = [&] {
    RECT rc;
    GetClientRect(h, &rc);
    return PtInRect(&rc, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != FALSE;
  };
  auto set = [h](bool& flag, bool value) {
    if (flag == value) return;
    flag = value;
    InvalidateRect(h, nullptr, FALSE);
  };
  switch (msg) {
    case WM_MOUSEMOVE:
      if (GetCapture() == h) {
        set(n.pressed, inside());
        set(n.hot, inside());
      } else if (!n.hot) {
        TrackLeave(h);
        set(n.hot, true);
      }
      return true;
    case WM_MOUSELEAVE:
      if (GetCapture() != h) set(n.hot, false);
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(h);
      set(n.pressed, true);
      return true;
    case WM_LBUTTONUP: {
      if (GetCapture() != h) return true;
      const bool click = n.pressed && inside();
      set(n.pressed, false);
      ReleaseCapture();
      if (inside()) TrackLeave(h);
      set(n.hot, inside());
      // Last: the handler may change anything, this button's record too.
      if (click) SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED), LPARAM(h));
      return true;
    }
    case WM_CAPTURECHANGED:
      set(n.pressed, false);
      return true;
    case WM_ERASEBKGND:
      result = 1;  // the face covers everything
      return true;
    case BM_GETCHECK:
      result = n.model->Kind() == ControlKind::ToolButton && static_cast<ToolButton*>(n.model)->Down() ? BST_CHECKED
                                                                                                       : BST_UNCHECKED;
      return true;
    case BM_SETCHECK:
    case BM_SETSTATE:
      return true;  // the model decides what is down
    case BM_GETSTATE: {
      LRESULT checked = 0;
      HandleStyledButton(n, BM_GETCHECK, 0, 0, checked);
      result = checked | (n.pressed ? BST_PUSHED : 0) | (n.hot ? BST_HOT : 0);
      return true;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
      return true;  // a styled button is worked by the pointer only
    default:
      return false;
  }
}

LRESULT CALLBACK Win32Application::FormWindow::StyledButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    Native* n = nullptr;
    if (FormWindow* self = FromChild(hwnd, n); self && n) {
      LRESULT result = 0;
      if (self->HandleStyledButton(*n, msg, wParam, lParam, result)) return result;
    }
  } catch (...) {
  }
  return CallOriginal(hwnd, kButtonProcProp, msg, wParam, lParam);
}

}  // namespace ui::win32
