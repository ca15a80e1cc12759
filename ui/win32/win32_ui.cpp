#include "ui/win32/win32_ui.h"

#include "ui/styled_button.h"
#include "ui/win32/vector_paint.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace ui::win32 {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

namespace {

constexpr wchar_t kPanelClass[] = L"QuorvanePanel";
constexpr wchar_t kHiddenClass[] = L"QuorvaneApplication";
constexpr wchar_t kButtonProcProp[] = L"QuorvaneButtonProc";
constexpr wchar_t kStatusBarProcProp[] = L"QuorvaneStatusBarProc";
constexpr UINT kWakeMessage = WM_APP + 2;
constexpr UINT kTrayIconId = 1;
constexpr COLORREF kWhite = RGB(255, 255, 255);

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

template <class Fn>
Fn UserProc(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT WindowDpi(HWND hwnd) {
  static const auto getDpi = UserProc<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpi && hwnd) {
    if (UINT dpi = getDpi(hwnd)) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? UINT(dpi) : 96u;
}

void InitCommonControlsOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  if (HMODULE comctl = LoadSystemLibrary(L"comctl32.dll")) {
    auto init = reinterpret_cast<InitCommonControlsExFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    if (init) init(&icc);
  }
}

COLORREF ToColorRef(std::int32_t rgb) {
  if (IsSystemColor(rgb)) return GetSysColor(rgb & 0xFF);
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// System colours in a look become the user's current ones.
Color Resolved(Color c) {
  if (!IsSystemColor(c)) return c;
  const COLORREF r = GetSysColor(c & 0xFF);
  return Color(GetRValue(r) << 16 | GetGValue(r) << 8 | GetBValue(r));
}

bool IsStyledButton(const Control& c) {
  return c.Kind() == ControlKind::ToolButton || c.Kind() == ControlKind::Button;
}

// The cursor is over this very window, not over one in front of it.
bool CursorOver(HWND hwnd) {
  POINT pt;
  return GetCursorPos(&pt) && WindowFromPoint(pt) == hwnd;
}

void TrackLeave(HWND hwnd) {
  TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
  TrackMouseEvent(&tme);
}

// The idle and running chip glyphs, drawn at whatever size the tray asks for.
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
  HDC dc = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, dc);
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
  HBITMAP mask = CreateBitmap(size, size, 1, 1, zeros.data());
  ICONINFO ii{TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(mask);
  DeleteObject(color);
  return icon;
}

// The program's own icon (resource 1) at SIZE pixels. comctl32's loader scales a larger image
// down when no size fits, which looks better than USER32 scaling a smaller one up.
HICON LoadAppIcon(HINSTANCE inst, int size) {
  using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  static const auto scaleDown = [] {
    HMODULE comctl = LoadSystemLibrary(L"comctl32.dll");
    return comctl ? reinterpret_cast<ScaleDownFn>(
                        reinterpret_cast<void*>(GetProcAddress(comctl, "LoadIconWithScaleDown")))
                  : nullptr;
  }();
  HICON icon = nullptr;
  if (scaleDown && SUCCEEDED(scaleDown(inst, MAKEINTRESOURCEW(1), size, size, &icon))) return icon;
  return static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
}

int IconMetric(int metric, UINT dpi) {
  using ForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = UserProc<ForDpiFn>("GetSystemMetricsForDpi");
  return forDpi ? forDpi(metric, dpi) : MulDiv(GetSystemMetrics(metric), int(dpi), int(WindowDpi(nullptr)));
}

// Draws off screen first, so a repaint never flickers through white.
void PaintBuffered(HWND hwnd, const VectorDrawing& drawing) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
  if (mem && bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PaintDrawing(mem, rc, kWhite, drawing);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  if (bmp) DeleteObject(bmp);
  if (mem) DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

class Win32Application::FormWindow final : public ControlPeer, public TimerPeer, public TrayIconPeer {
 public:
  FormWindow(Win32Application& owner, Form& form) : owner_(owner), form_(form) {}
  ~FormWindow() override { Destroy(); }

  void Realise();
  void Destroy();
  HWND Hwnd() const { return hwnd_; }

  void Changed(Control& control, Prop what) override;
  void Changed(Timer& timer) override;
  void Changed(TrayIcon& icon) override;
  void ShowBalloon(TrayIcon& icon, const std::wstring& title, const std::wstring& text) override;

 private:
  struct Native {
    Control* model;
    HWND hwnd;
    HWND frame;  // group boxes: the frame drawn behind their children
    bool hot = false;      // styled buttons: under the pointer
    bool pressed = false;  // styled buttons: held down by the pointer, which is over it
  };

  static LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK StyledButtonProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK StatusBarProc(HWND, UINT, WPARAM, LPARAM);
  void PaintStatusBar(Native& n, HDC dc);
  void SetHint(Native& n, const std::wstring& hint);
  // Status bars sit below the form's designed client area, at their own pixel height.
  int BottomBarsHeight() const;
  bool HandleStyledButton(Native& n, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void PaintButton(Native& n, HDC dc, const RECT& rc);
  static void PaintShape(HWND hwnd, HDC dc, const Shape& shape);
  static FormWindow* FromHwnd(HWND hwnd);
  LRESULT HandleForm(HWND, UINT, WPARAM, LPARAM);
  // Messages that child controls send to whatever window is their parent.
  bool HandleChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  void RealiseChildren(Control& parent, HWND parentHwnd);
  HWND RealiseControl(Control& c, HWND parentHwnd);
  void RealiseLate(Control& c);
  DWORD FormStyle() const {
    const DWORD common = WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    return form_.Border() == BorderStyle::None ? WS_POPUP | common : WS_OVERLAPPED | WS_CAPTION | common;
  }
  void FitClientSize();
  HWND CreateNative(Control& c, HWND parentHwnd, HWND& frame);
  void Attach(Component& c);
  Native* Find(Control& c);
  Native* FindHwnd(HWND hwnd);
  int Scale(int v) const { return MulDiv(v, int(dpi_), 96); }
  // Scales the control's edges as positions in the form, so that rounding never accumulates
  // down the parent chain; returns them relative to the parent.
  RECT ScaledRect(const Control& c) const {
    int x = 0, y = 0;
    for (const Control* p = c.Parent(); p && p->Kind() != ControlKind::Form; p = p->Parent()) {
      x += p->Bounds().Left;
      y += p->Bounds().Top;
    }
    const Rect& r = c.Bounds();
    return {Scale(x + r.Left) - Scale(x), Scale(y + r.Top) - Scale(y), Scale(x + r.Left + r.Width) - Scale(x),
            Scale(y + r.Top + r.Height) - Scale(y)};
  }
  void ApplyBounds(Native& n);
  void FitComboHeight(Native& n);
  void MakeFonts();
  HFONT FontFor(Control& c);
  void ApplyFonts();
  void ApplyDpi(UINT dpi);
  void TrayUpdate(TrayIcon& icon, DWORD message);
  void MakeTrayImages();
  void MakeWindowIcons();
  void ShowTrayMenu(TrayIcon& icon);

  Win32Application& owner_;
  Form& form_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  std::vector<Native> natives_;
  std::vector<Timer*> timers_;
  std::vector<TrayIcon*> trays_;
  std::map<std::wstring, HFONT> ownFonts_;
  HFONT designFont_ = nullptr;
  HFONT desktopFont_ = nullptr;
  HFONT boldFont_ = nullptr;  // the form's font, bold
  HWND tooltip_ = nullptr;    // hints, made with the first control that has one
  HBRUSH white_ = CreateSolidBrush(kWhite);
  HICON trayImages_[2] = {nullptr, nullptr};
  HICON windowIcons_[2] = {nullptr, nullptr};  // ICON_SMALL, ICON_BIG
  UINT taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
};

Win32Application::FormWindow* Win32Application::FormWindow::FromHwnd(HWND hwnd) {
  return reinterpret_cast<FormWindow*>(GetPropW(hwnd, L"QuorvaneForm"));
}

void Win32Application::FormWindow::Realise() {
  InitCommonControlsOnce();
  HINSTANCE inst = owner_.instance_;
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = FormProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = white_;
  // For the class at the system DPI; each window gets its own at its DPI (MakeWindowIcons).
  wc.hIcon = LoadAppIcon(inst, GetSystemMetrics(SM_CXICON));
  wc.hIconSm = LoadAppIcon(inst, GetSystemMetrics(SM_CXSMICON));
  wc.lpszClassName = form_.ClassName().c_str();
  RegisterClassExW(&wc);
  WNDCLASSEXW pc{sizeof pc};
  pc.lpfnWndProc = PanelProc;
  pc.hInstance = inst;
  pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pc.hbrBackground = white_;
  pc.lpszClassName = kPanelClass;
  RegisterClassExW(&pc);

  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, form_.ClassName().c_str(), form_.Caption().c_str(), FormStyle(),
                          CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, inst, nullptr);
  if (!hwnd_) return;
  SetPropW(hwnd_, L"QuorvaneForm", this);
  // We run elevated, and the shell is not: without this, its "TaskbarCreated" never reaches
  // us and the tray icon stays lost after Explorer restarts.
  using FilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
  if (auto filterEx = UserProc<FilterExFn>("ChangeWindowMessageFilterEx"))
    filterEx(hwnd_, taskbarCreated_, 1 /* MSGFLT_ALLOW */, nullptr);
  else if (auto filter = UserProc<FilterFn>("ChangeWindowMessageFilter"))
    filter(taskbarCreated_, 1 /* MSGFLT_ADD */);
  form_.SetHandle(reinterpret_cast<NativeHandle>(hwnd_));
  form_.AttachPeer(this);
  dpi_ = WindowDpi(hwnd_);
  MakeFonts();
  RealiseChildren(form_, hwnd_);
  for (const auto& c : form_.Components()) Attach(*c);
  form_.OnComponentCreated = [this](Component& c) { Attach(c); };
  ApplyDpi(dpi_);
  // First position: centred on the screen's work area.
  RECT wr, work;
  GetWindowRect(hwnd_, &wr);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
               work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Application::FormWindow::Attach(Component& c) {
  if (auto* control = dynamic_cast<Control*>(&c)) {
    RealiseLate(*control);
  } else if (auto* t = dynamic_cast<Timer*>(&c)) {
    timers_.push_back(t);
    t->AttachPeer(this);
    Changed(*t);
  } else if (auto* icon = dynamic_cast<TrayIcon*>(&c)) {
    trays_.push_back(icon);
    icon->AttachPeer(this);
    Changed(*icon);
  }
}

void Win32Application::FormWindow::Destroy() {
  if (!hwnd_) return;
  form_.OnComponentCreated = nullptr;
  for (TrayIcon* t : trays_) {
    TrayUpdate(*t, NIM_DELETE);
    t->AttachPeer(nullptr);
  }
  for (Timer* t : timers_) t->AttachPeer(nullptr);
  for (Native& n : natives_) {
    n.model->AttachPeer(nullptr);
    if (ATOM a = ATOM(reinterpret_cast<UINT_PTR>(RemovePropW(n.hwnd, kNameProp)))) GlobalDeleteAtom(a);
  }
  form_.AttachPeer(nullptr);
  RemovePropW(hwnd_, L"QuorvaneForm");
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  natives_.clear();
  for (auto& [name, font] : ownFonts_) DeleteObject(font);
  ownFonts_.clear();
  if (designFont_) DeleteObject(designFont_);
  if (desktopFont_) DeleteObject(desktopFont_);
  if (boldFont_) DeleteObject(boldFont_);
  if (tooltip_) DestroyWindow(tooltip_), tooltip_ = nullptr;
  for (HICON& i : trayImages_)
    if (i) DestroyIcon(i), i = nullptr;
  for (HICON& i : windowIcons_)
    if (i) DestroyIcon(i), i = nullptr;
  DeleteObject(white_);
}

HWND Win32Application::FormWindow::CreateNative(Control& c, HWND parent, HWND& frame) {
  HINSTANCE inst = owner_.instance_;
  const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | (c.Visible() ? WS_VISIBLE : 0u);
  auto make = [&](DWORD exStyle, const wchar_t* cls, DWORD style, const std::wstring& text) {
    return CreateWindowExW(exStyle, cls, text.c_str(), child | style, 0, 0, 0, 0, parent, nullptr, inst, nullptr);
  };
  switch (c.Kind()) {
    case ControlKind::Panel:
    case ControlKind::PageControl:
    case ControlKind::Page:
    case ControlKind::ToolBar:
    case ControlKind::Image:
    case ControlKind::Indicator:
      return make(WS_EX_CONTROLPARENT, kPanelClass, WS_CLIPCHILDREN, L"");
    case ControlKind::GroupBox: {
      HWND box = make(WS_EX_CONTROLPARENT, kPanelClass, 0, L"");
      frame = CreateWindowExW(0, L"BUTTON", c.Caption().c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0, 0, 0, 0,
                              box, nullptr, inst, nullptr);
      return box;
    }
    case ControlKind::ToolButton:
    case ControlKind::Button: {
      // Drawn by their family; the pointer handling is ours, so that they never take the focus.
      HWND b = make(0, L"BUTTON", BS_OWNERDRAW, c.Caption());
      const LONG_PTR old = SetWindowLongPtrW(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StyledButtonProc));
      SetPropW(b, kButtonProcProp, reinterpret_cast<HANDLE>(old));
      return b;
    }
    case ControlKind::CheckBox:
      return make(0, L"BUTTON", WS_TABSTOP | BS_CHECKBOX, c.Caption());
    case ControlKind::Label:
      return make(0, L"STATIC",
                  SS_NOTIFY | SS_NOPREFIX | (static_cast<Label&>(c).Centred ? SS_CENTER : SS_LEFT), c.Caption());
    case ControlKind::Edit: {
      HWND e = make(0, L"EDIT", WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, c.Caption());
      SetPropW(e, L"QuorvaneEditProc",
               reinterpret_cast<HANDLE>(SetWindowLongPtrW(e, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc))));
      return e;
    }
    case ControlKind::ComboBox:
      return make(0, L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, L"");
    case ControlKind::ProgressBar:
      return make(0, PROGRESS_CLASSW, PBS_SMOOTH | PBS_SMOOTHREVERSE, L"");
    case ControlKind::StatusBar: {
      // Placed by us, not by itself: its height is the model's.
      HWND bar = make(0, STATUSCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, c.Caption());
      SetPropW(bar, kStatusBarProcProp,
               reinterpret_cast<HANDLE>(SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusBarProc))));
      return bar;
    }
    case ControlKind::Form:
      break;
  }
  return nullptr;
}

void Win32Application::FormWindow::RealiseChildren(Control& parent, HWND parentHwnd) {
  std::vector<Control*> kids = parent.Children();
  std::stable_sort(kids.begin(), kids.end(), [](Control* a, Control* b) { return a->TabOrder() < b->TabOrder(); });
  for (Control* c : kids) RealiseControl(*c, parentHwnd);
}

HWND Win32Application::FormWindow::RealiseControl(Control& c, HWND parentHwnd) {
  HWND frame = nullptr;
  HWND h = CreateNative(c, parentHwnd, frame);
  if (!h) return nullptr;
  if (!c.Name().empty())
    SetPropW(h, kNameProp, reinterpret_cast<HANDLE>(UINT_PTR(GlobalAddAtomW(c.Name().c_str()))));
  natives_.push_back({&c, h, frame});
  c.AttachPeer(this);
  // The model may have changed before its window existed; bring the window up to date.
  for (Prop p : {Prop::Enabled, Prop::Checked, Prop::Items, Prop::Position, Prop::Hint}) {
    const ControlKind k = c.Kind();
    const bool applies = p == Prop::Enabled || (p == Prop::Checked && k == ControlKind::CheckBox) ||
                         (p == Prop::Items && k == ControlKind::ComboBox) ||
                         (p == Prop::Position && k == ControlKind::ProgressBar) ||
                         (p == Prop::Hint && !c.Hint().empty());
    if (applies) Changed(c, p);
  }
  RealiseChildren(c, h);
  // The frame stays beneath the box's controls, or it paints over them.
  if (frame) SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return h;
}

// A control made after the form was realised gets its window at once, placed and in the
// form's font like the rest.
void Win32Application::FormWindow::RealiseLate(Control& c) {
  if (&c == &form_ || Find(c) || !c.Parent()) return;
  HWND parentHwnd = nullptr;
  if (c.Parent() == &form_) {
    parentHwnd = hwnd_;
  } else if (Native* p = Find(*c.Parent())) {
    parentHwnd = p->hwnd;
  }
  if (!parentHwnd) return;
  const std::size_t first = natives_.size();
  if (!RealiseControl(c, parentHwnd)) return;
  for (std::size_t i = first; i < natives_.size(); ++i) {
    ApplyBounds(natives_[i]);
    SendMessageW(natives_[i].hwnd, WM_SETFONT, WPARAM(FontFor(*natives_[i].model)), TRUE);
  }
}

Win32Application::FormWindow::Native* Win32Application::FormWindow::Find(Control& c) {
  for (Native& n : natives_)
    if (n.model == &c) return &n;
  return nullptr;
}

Win32Application::FormWindow::Native* Win32Application::FormWindow::FindHwnd(HWND hwnd) {
  for (Native& n : natives_)
    if (n.hwnd == hwnd) return &n;
  return nullptr;
}

void Win32Application::FormWindow::ApplyBounds(Native& n) {
  if (n.model->Kind() == ControlKind::StatusBar) {
    int top = Scale(form_.ClientHeight());
    for (const Native& other : natives_) {
      if (&other == &n) break;
      if (other.model->Kind() == ControlKind::StatusBar) top += other.model->Bounds().Height;
    }
    MoveWindow(n.hwnd, 0, top, Scale(form_.ClientWidth()), n.model->Bounds().Height, TRUE);
    FitClientSize();
    return;
  }
  RECT r = ScaledRect(*n.model);
  int height = r.bottom - r.top;
  // A drop-down list's window height includes its open list.
  if (n.model->Kind() == ControlKind::ComboBox) height = Scale(160);
  MoveWindow(n.hwnd, r.left, r.top, r.right - r.left, height, TRUE);
  if (n.model->Kind() == ControlKind::ComboBox) FitComboHeight(n);
  if (n.frame) MoveWindow(n.frame, 0, 0, r.right - r.left, r.bottom - r.top, TRUE);
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

void Win32Application::FormWindow::MakeFonts() {
  for (auto& [name, font] : ownFonts_) DeleteObject(font);
  ownFonts_.clear();
  if (designFont_) DeleteObject(designFont_);
  if (desktopFont_) DeleteObject(desktopFont_);
  designFont_ = CreateFontW(-Scale(11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY, 0, L"Tahoma");
  LOGFONTW lf{};
  static const auto forDpi = UserProc<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  if (!(forDpi && forDpi(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0, dpi_))) {
    SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
    lf.lfHeight = MulDiv(lf.lfHeight, int(dpi_), int(WindowDpi(nullptr)));
  }
  desktopFont_ = CreateFontIndirectW(&lf);
  if (boldFont_) DeleteObject(boldFont_);
  LOGFONTW base{};
  GetObjectW(form_.UsesDesktopFont() ? desktopFont_ : designFont_, sizeof base, &base);
  base.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectW(&base);
}

HFONT Win32Application::FormWindow::FontFor(Control& c) {
  if (!c.OwnFontName().empty()) {
    const std::wstring key = c.OwnFontName() + L"/" + std::to_wstring(c.OwnFontHeight());
    auto it = ownFonts_.find(key);
    if (it == ownFonts_.end())
      it = ownFonts_.emplace(key, CreateFontW(-Scale(c.OwnFontHeight()), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0,
                                              0, ANTIALIASED_QUALITY, 0, c.OwnFontName().c_str())).first;
    return it->second;
  }
  if (c.FontBold()) return boldFont_;
  return form_.UsesDesktopFont() ? desktopFont_ : designFont_;
}

void Win32Application::FormWindow::ApplyFonts() {
  for (Native& n : natives_) {
    HFONT f = FontFor(*n.model);
    SendMessageW(n.hwnd, WM_SETFONT, WPARAM(f), TRUE);
    if (n.frame) SendMessageW(n.frame, WM_SETFONT, WPARAM(f), TRUE);
    if (n.model->Kind() == ControlKind::ComboBox) FitComboHeight(n);
  }
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

int Win32Application::FormWindow::BottomBarsHeight() const {
  int height = 0;
  for (const Native& n : natives_)
    if (n.model->Kind() == ControlKind::StatusBar) height += n.model->Bounds().Height;
  return height;
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

void Win32Application::FormWindow::Changed(Control& c, Prop what) {
  if (&c == &form_) {
    switch (what) {
      case Prop::Visible:
        ShowWindow(hwnd_, c.Visible() ? SW_SHOW : SW_HIDE);
        break;
      case Prop::Caption:
        SetWindowTextW(hwnd_, c.Caption().c_str());
        break;
      case Prop::Font:
        ApplyFonts();
        break;
      case Prop::Focus:
        SetFocus(hwnd_);
        break;
      case Prop::Border: {
        const DWORD keep = DWORD(GetWindowLongW(hwnd_, GWL_STYLE)) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE);
        SetWindowLongW(hwnd_, GWL_STYLE, LONG(keep | FormStyle()));
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        FitClientSize();
        break;
      }
      default:
        break;
    }
    return;
  }
  Native* n = Find(c);
  if (!n) return;
  switch (what) {
    case Prop::Caption:
      SetWindowTextW(n->frame ? n->frame : n->hwnd, c.Caption().c_str());
      break;
    case Prop::Visible:
      ShowWindow(n->hwnd, c.Visible() ? SW_SHOW : SW_HIDE);
      break;
    case Prop::Enabled:
      if (IsStyledButton(c)) {
        // A disabled button sees no pointer; once enabled again, it is hot if the pointer is there.
        if (!c.Enabled() && GetCapture() == n->hwnd) ReleaseCapture();
        n->pressed = false;
        n->hot = c.Enabled() && CursorOver(n->hwnd);
        if (n->hot) TrackLeave(n->hwnd);
      }
      EnableWindow(n->hwnd, c.Enabled());
      if (IsStyledButton(c)) InvalidateRect(n->hwnd, nullptr, FALSE);
      break;
    case Prop::Bounds:
      ApplyBounds(*n);
      break;
    case Prop::Down:
      InvalidateRect(n->hwnd, nullptr, FALSE);
      break;
    case Prop::Style:
      // A toolbar's look is its buttons' look.
      InvalidateRect(n->hwnd, nullptr, FALSE);
      for (Control* child : c.Children())
        if (Native* b = Find(*child)) InvalidateRect(b->hwnd, nullptr, FALSE);
      break;
    case Prop::Checked:
      SendMessageW(n->hwnd, BM_SETCHECK, static_cast<CheckBox&>(c).Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case Prop::Items: {
      auto& combo = static_cast<ComboBox&>(c);
      SendMessageW(n->hwnd, CB_RESETCONTENT, 0, 0);
      for (const auto& item : combo.Items()) SendMessageW(n->hwnd, CB_ADDSTRING, 0, LPARAM(item.c_str()));
      SendMessageW(n->hwnd, CB_SETCURSEL, WPARAM(combo.ItemIndex()), 0);
      break;
    }
    case Prop::ItemIndex:
      SendMessageW(n->hwnd, CB_SETCURSEL, WPARAM(static_cast<ComboBox&>(c).ItemIndex()), 0);
      break;
    case Prop::Position:
      SendMessageW(n->hwnd, PBM_SETPOS, WPARAM(static_cast<ProgressBar&>(c).Position()), 0);
      break;
    case Prop::Font:
      SendMessageW(n->hwnd, WM_SETFONT, WPARAM(FontFor(c)), TRUE);
      break;
    case Prop::Color:
      InvalidateRect(n->hwnd, nullptr, TRUE);
      break;
    case Prop::Hint:
      SetHint(*n, c.Hint());
      break;
    case Prop::ActivePage:
    case Prop::Focus:
    case Prop::Border:
      break;
  }
}

void Win32Application::FormWindow::SetHint(Native& n, const std::wstring& hint) {
  if (!tooltip_) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               owner_.instance_, nullptr);
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

void Win32Application::FormWindow::PaintStatusBar(Native& n, HDC dc) {
  RECT rc;
  GetClientRect(n.hwnd, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  HGDIOBJ oldFont = SelectObject(dc, FontFor(*n.model));
  const std::int32_t color = n.model->FontColor();
  SetTextColor(dc, color < 0 ? GetSysColor(COLOR_BTNTEXT) : ToColorRef(color));
  SetBkMode(dc, TRANSPARENT);
  std::wstring text = n.model->Caption();
  DrawTextW(dc, text.c_str(), int(text.size()), &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK Win32Application::FormWindow::StatusBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kStatusBarProcProp));
  try {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    FormWindow* self = top ? FromHwnd(top) : nullptr;
    if (Native* n = self ? self->FindHwnd(hwnd) : nullptr) {
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
  if (msg == WM_NCDESTROY) RemovePropW(hwnd, kStatusBarProcProp);
  return old ? CallWindowProcW(old, hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Application::FormWindow::Changed(Timer& timer) {
  const UINT_PTR id = UINT_PTR(std::find(timers_.begin(), timers_.end(), &timer) - timers_.begin()) + 1;
  if (timer.Enabled() && timer.Interval() > 0)
    SetTimer(hwnd_, id, timer.Interval(), nullptr);
  else
    KillTimer(hwnd_, id);
}

void Win32Application::FormWindow::MakeWindowIcons() {
  for (WPARAM which : {ICON_SMALL, ICON_BIG}) {
    HICON icon = LoadAppIcon(owner_.instance_, IconMetric(which == ICON_BIG ? SM_CXICON : SM_CXSMICON, dpi_));
    SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    if (windowIcons_[which]) DestroyIcon(windowIcons_[which]);
    windowIcons_[which] = icon;
  }
}

void Win32Application::FormWindow::MakeTrayImages() {
  for (HICON& i : trayImages_)
    if (i) DestroyIcon(i), i = nullptr;
  // The taskbar draws at the system DPI, whichever monitor the window is on.
  const int size = GetSystemMetrics(SM_CXSMICON);
  trayImages_[0] = MakeChipIcon(size, RGB(0x43, 0xA0, 0x47), RGB(0xFF, 0x98, 0x00));
  trayImages_[1] = MakeChipIcon(size, RGB(0x84, 0x84, 0x84), RGB(0xB9, 0xB9, 0xB9));
}

void Win32Application::FormWindow::ShowBalloon(TrayIcon& icon, const std::wstring& title, const std::wstring& text) {
  if (!icon.Visible()) return;
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = hwnd_;
  nid.uID = kTrayIconId;
  nid.uFlags = NIF_INFO;
  nid.dwInfoFlags = NIIF_INFO;
  lstrcpynW(nid.szInfoTitle, title.c_str(), int(std::size(nid.szInfoTitle)));
  lstrcpynW(nid.szInfo, text.c_str(), int(std::size(nid.szInfo)));
  Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void Win32Application::FormWindow::TrayUpdate(TrayIcon& icon, DWORD message) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = hwnd_;
  nid.uID = kTrayIconId;
  if (message != NIM_DELETE) {
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayMessage;
    if (!trayImages_[0]) MakeTrayImages();
    const int index = icon.ImageIndex();
    nid.hIcon = index >= 0 && index < 2 ? trayImages_[index] : nullptr;
    lstrcpynW(nid.szTip, icon.Hint().c_str(), int(std::size(nid.szTip)));
  }
  if (!Shell_NotifyIconW(message, &nid) && message == NIM_MODIFY) Shell_NotifyIconW(NIM_ADD, &nid);
}

void Win32Application::FormWindow::Changed(TrayIcon& icon) {
  if (icon.Visible() && !icon.Destroying()) {
    TrayUpdate(icon, NIM_MODIFY);  // adds it when it is not there yet
  } else {
    TrayUpdate(icon, NIM_DELETE);
  }
}

void Win32Application::FormWindow::ShowTrayMenu(TrayIcon& icon) {
  if (!icon.Popup) return;
  HMENU menu = CreatePopupMenu();
  for (MenuItem* item : icon.Popup->Items()) {
    if (item->IsSeparator())
      AppendMenuW(menu, MF_SEPARATOR, UINT_PTR(item->Command()), nullptr);
    else
      AppendMenuW(menu, MF_STRING, UINT_PTR(item->Command()), item->Caption.c_str());
  }
  POINT pt;
  GetCursorPos(&pt);
  // The menu closes on a click elsewhere only while our window is in front.
  SetForegroundWindow(hwnd_);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd_, nullptr);
  PostMessageW(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

bool Win32Application::FormWindow::HandleChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND: {
      Native* n = FindHwnd(reinterpret_cast<HWND>(lParam));
      if (!n) return false;
      const UINT code = HIWORD(wParam);
      Control& c = *n->model;
      if (c.Kind() == ControlKind::ComboBox) {
        if (code == CBN_SELCHANGE)
          static_cast<ComboBox&>(c).UserSelect(int(SendMessageW(n->hwnd, CB_GETCURSEL, 0, 0)));
      } else if (code == BN_CLICKED || (c.Kind() == ControlKind::Label && code == STN_CLICKED)) {
        c.Click();
      }
      result = 0;
      return true;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      Native* n = item && item->CtlType == ODT_BUTTON ? FindHwnd(item->hwndItem) : nullptr;
      if (!n || !IsStyledButton(*n->model)) return false;
      PaintButton(*n, item->hDC, item->rcItem);
      result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      Native* n = FindHwnd(reinterpret_cast<HWND>(lParam));
      const std::int32_t color = n ? n->model->FontColor() : -1;
      SetTextColor(dc, color < 0 ? GetSysColor(COLOR_WINDOWTEXT) : ToColorRef(color));
      SetBkColor(dc, kWhite);
      result = reinterpret_cast<LRESULT>(white_);
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK Win32Application::FormWindow::PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (FormWindow* self = top ? FromHwnd(top) : nullptr) {
      LRESULT result = 0;
      if (self->HandleChildNotify(msg, wParam, lParam, result)) return result;
      if (msg == WM_LBUTTONUP) {
        if (Native* n = self->FindHwnd(hwnd)) n->model->Click();
        return 0;
      }
      if (Native* n = self->FindHwnd(hwnd); n && (msg == WM_PAINT || msg == WM_PRINTCLIENT || msg == WM_ERASEBKGND)) {
        if (auto* shape = dynamic_cast<Shape*>(n->model)) {
          if (msg == WM_ERASEBKGND) return 1;  // the shape covers all of itself
          PAINTSTRUCT ps;
          HDC dc = msg == WM_PAINT ? BeginPaint(hwnd, &ps) : reinterpret_cast<HDC>(wParam);
          PaintShape(hwnd, dc, *shape);
          if (msg == WM_PAINT) EndPaint(hwnd, &ps);
          return 0;
        }
      }
      if (msg == WM_PAINT) {
        Control* model = self->FindHwnd(hwnd) ? self->FindHwnd(hwnd)->model : nullptr;
        const VectorDrawing* drawing = nullptr;
        if (auto* image = dynamic_cast<Image*>(model)) drawing = &image->Drawing;
        if (auto* indicator = dynamic_cast<Indicator*>(model)) drawing = &indicator->Drawing;
        if (drawing) {
          PaintBuffered(hwnd, *drawing);
          return 0;
        }
      }
      if (msg == WM_SETCURSOR) {
        Native* n = self->FindHwnd(hwnd);
        if (n && n->model->Kind() == ControlKind::Image) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
    }
  } catch (...) {
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Win32Application::FormWindow::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, L"QuorvaneEditProc"));
  // Tabbing into the box must not select its text.
  if (msg == WM_GETDLGCODE) return CallWindowProcW(old, hwnd, msg, wParam, lParam) & ~LRESULT(DLGC_HASSETSEL);
  if (msg == WM_LBUTTONUP) {
    try {
      HWND top = GetAncestor(hwnd, GA_ROOT);
      if (FormWindow* self = top ? FromHwnd(top) : nullptr) {
        const LRESULT r = CallWindowProcW(old, hwnd, msg, wParam, lParam);
        if (Native* n = self->FindHwnd(hwnd)) n->model->Click();
        return r;
      }
    } catch (...) {
    }
  }
  if (msg == WM_NCDESTROY) RemovePropW(hwnd, L"QuorvaneEditProc");
  return CallWindowProcW(old, hwnd, msg, wParam, lParam);
}

void Win32Application::FormWindow::PaintShape(HWND hwnd, HDC dc, const Shape& shape) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HBRUSH fill = CreateSolidBrush(ToColorRef(shape.BrushColor()));
  HBRUSH pen = CreateSolidBrush(ToColorRef(shape.PenColor()));
  FillRect(dc, &rc, fill);
  FrameRect(dc, &rc, pen);
  DeleteObject(fill);
  DeleteObject(pen);
}

void Win32Application::FormWindow::PaintButton(Native& n, HDC dc, const RECT& rc) {
  Control& c = *n.model;
  const bool toolButton = c.Kind() == ControlKind::ToolButton;
  const ButtonStyle& style = toolButton ? static_cast<ToolButton&>(c).Style() : static_cast<Button&>(c).Style();
  const bool down = toolButton && static_cast<ToolButton&>(c).Down();
  const TStyledButtonState state = ChooseButtonState(c.Enabled(), n.pressed, down, false, n.hot);
  TStyledButtonAttributes look = ButtonAttributes(style, state);
  look.ButtonColor = Resolved(look.ButtonColor);
  look.BorderColor = Resolved(look.BorderColor);
  look.FontColor = Resolved(look.FontColor);
  PaintStyledButton(dc, rc, look, style.Radius, double(dpi_) / 96, kWhite, c.Caption(), FontFor(c));
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
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kButtonProcProp));
  try {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    if (FormWindow* self = top ? FromHwnd(top) : nullptr) {
      if (Native* n = self->FindHwnd(hwnd)) {
        LRESULT result = 0;
        if (self->HandleStyledButton(*n, msg, wParam, lParam, result)) return result;
      }
    }
  } catch (...) {
  }
  if (msg == WM_NCDESTROY) RemovePropW(hwnd, kButtonProcProp);
  return CallWindowProcW(old, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Win32Application::FormWindow::FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  FormWindow* self = FromHwnd(hwnd);
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return self->HandleForm(hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT Win32Application::FormWindow::HandleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::intptr_t own = 0;
  if (form_.HandleMessage(msg, wParam, lParam, own)) return own;
  LRESULT result = 0;
  if (HandleChildNotify(msg, wParam, lParam, result)) return result;
  if (msg == taskbarCreated_ && msg != 0) {
    // The shell restarted: our icons went with the old taskbar.
    for (TrayIcon* t : trays_)
      if (t->Visible()) TrayUpdate(*t, NIM_ADD);
    return 0;
  }
  switch (msg) {
    case WM_CLOSE:
      form_.Close();
      return 0;
    case WM_TIMER: {
      const std::size_t i = std::size_t(wParam) - 1;
      if (i < timers_.size()) timers_[i]->Fire();
      return 0;
    }
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == 0) {
        for (TrayIcon* t : trays_)
          if (t->Popup)
            if (MenuItem* item = t->Popup->FindCommand(LOWORD(wParam))) {
              item->Click();
              return 0;
            }
      }
      break;
    case kTrayMessage:
      if (!trays_.empty()) {
        TrayIcon& icon = *trays_.front();
        switch (LOWORD(lParam)) {
          case WM_LBUTTONUP:
            icon.Click();
            break;
          case WM_RBUTTONUP:
            ShowTrayMenu(icon);
            break;
        }
      }
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* r = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd, nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, white_);
      return 1;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------

Win32Application::Win32Application(HINSTANCE instance) : instance_(instance), app_(*this) {
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = HiddenProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kHiddenClass;
  RegisterClassExW(&wc);
  hidden_ = CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_,
                            nullptr);
  SetWindowLongPtrW(hidden_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  HWND target = hidden_;
  app_.Queue()->SetWake([target] { PostMessageW(target, kWakeMessage, 0, 0); });
}

Win32Application::~Win32Application() {
  app_.Queue()->Shutdown();
  form_.reset();
  if (hidden_) DestroyWindow(hidden_);
}

LRESULT CALLBACK Win32Application::HiddenProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kWakeMessage) {
    if (auto* self = reinterpret_cast<Win32Application*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
      self->app_.Queue()->Drain();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Application::ReleaseForm() { form_.reset(); }

int Win32Application::MessageDialog(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  return MessageBoxW(hidden_, text.c_str(), caption.c_str(), flags);
}

void Win32Application::Restore() {
  if (Form* f = app_.MainForm()) {
    HWND h = reinterpret_cast<HWND>(f->Handle());
    if (h && IsIconic(h)) ShowWindow(h, SW_RESTORE);
  }
}

void Win32Application::CreateForm(Form& form) {
  form.SetVisible(false);
  form_ = std::make_unique<FormWindow>(*this, form);
  form_->Realise();
  if (!app_.MainForm()) app_.SetMainForm(&form);
  form.OnClosed = [this] {
    app_.Terminate();
    PostQuitMessage(0);
  };
  form.DoCreate();
}

int Win32Application::Run() {
  Form* main = app_.MainForm();
  if (main && app_.ShowMainForm && !main->Closed()) main->SetVisible(true);
  MSG msg;
  int code = 0;
  while (!app_.Terminated()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      code = int(msg.wParam);
      break;
    }
    if (got < 0) break;
    HWND formHwnd = form_ ? form_->Hwnd() : nullptr;
    if (formHwnd && IsDialogMessageW(formHwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  app_.Queue()->Shutdown();
  form_.reset();
  return code;
}

}  // namespace ui::win32
