// The form's own window: registering and creating it, attaching the model's components,
// dispatching its messages and those its children send up, and tearing it all down.
#include "ui/win32/form_window.h"

#include "ui/win32/contrast.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace ui::win32 {

namespace {

using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
constexpr wchar_t kFormProp[] = L"QuorvaneForm";

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
  if (scaleDown && SUCCEEDED(scaleDown(inst, MAKEINTRESOURCEW(1), size, size, &icon)))
    return counted::Made(ObjectKind::Icon, icon);
  return static_cast<HICON>(counted::LoadImageW(inst, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
}

int IconMetric(int metric, UINT dpi) {
  using ForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = UserProc<ForDpiFn>("GetSystemMetricsForDpi");
  return forDpi ? forDpi(metric, dpi) : MulDiv(GetSystemMetrics(metric), int(dpi), int(WindowDpi(nullptr)));
}

}  // namespace

void Win32Application::FormWindow::MakeWindowIcons() {
  for (WPARAM which : {ICON_SMALL, ICON_BIG}) {
    HICON icon = LoadAppIcon(owner_.instance_, IconMetric(which == ICON_BIG ? SM_CXICON : SM_CXSMICON, dpi_));
    SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    if (windowIcons_[which]) counted::DestroyIcon(windowIcons_[which]);
    windowIcons_[which] = icon;
  }
}

COLORREF ToColorRef(std::int32_t rgb) {
  if (IsSystemColor(rgb)) return GetSysColor(rgb & 0xFF);
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void Subclass(HWND hwnd, const wchar_t* prop, WNDPROC proc) {
  SetPropW(hwnd, prop, reinterpret_cast<HANDLE>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc))));
}

LRESULT CallOriginal(HWND hwnd, const wchar_t* prop, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, prop));
  if (msg == WM_NCDESTROY) RemovePropW(hwnd, prop);
  return old ? CallWindowProcW(old, hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

Win32Application::FormWindow* Win32Application::FormWindow::FromHwnd(HWND hwnd) {
  return reinterpret_cast<FormWindow*>(GetPropW(hwnd, kFormProp));
}

Win32Application::FormWindow* Win32Application::FormWindow::FromChild(HWND hwnd, Native*& native) {
  HWND top = GetAncestor(hwnd, GA_ROOT);
  FormWindow* self = top ? FromHwnd(top) : nullptr;
  native = self ? self->FindHwnd(hwnd) : nullptr;
  return self;
}

void Win32Application::FormWindow::Realise() {
  paintedContrast_ = HighContrast();
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
  if (RegisterClassExW(&wc)) {
    classIcons_[0] = wc.hIcon;
    classIcons_[1] = wc.hIconSm;
  } else {
    // Registered already, with icons of its own.
    counted::DestroyIcon(wc.hIcon);
    counted::DestroyIcon(wc.hIconSm);
  }
  WNDCLASSEXW pc{sizeof pc};
  pc.lpfnWndProc = PanelProc;
  pc.hInstance = inst;
  pc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  pc.hbrBackground = white_;
  pc.lpszClassName = kPanelClass;
  RegisterClassExW(&pc);

  hwnd_ = counted::CreateWindowExW(WS_EX_CONTROLPARENT, form_.ClassName().c_str(), form_.Caption().c_str(),
                                   FormStyle(), CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, inst,
                                   nullptr);
  if (!hwnd_) return;
  SetPropW(hwnd_, kFormProp, this);
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
  deferPages_ = true;
  RealiseChildren(form_, hwnd_);
  deferPages_ = false;
  // A timer comes only once nothing is left to paint.
  if (!deferredPages_.empty()) SetTimer(hwnd_, kDeferredPagesTimer, USER_TIMER_MINIMUM, nullptr);
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
  if (!hwnd_) {
    ReleaseClass();  // registered, though its window never came
    return;
  }
  form_.OnComponentCreated = nullptr;
  for (TrayIcon* t : trays_) {
    TrayUpdate(*t, NIM_DELETE);
    t->AttachPeer(nullptr);
  }
  for (Timer* t : timers_) t->AttachPeer(nullptr);
  for (Control* page : deferredPages_) page->AttachPeer(nullptr);
  deferredPages_.clear();
  for (Native& n : natives_) {
    n.model->AttachPeer(nullptr);
    if (ATOM a = ATOM(reinterpret_cast<UINT_PTR>(RemovePropW(n.hwnd, kNameProp)))) counted::GlobalDeleteAtom(a);
  }
  form_.AttachPeer(nullptr);
  RemovePropW(hwnd_, kFormProp);
  // The tooltip is owned by the form, so it would go with it; first, while its handle is still ours.
  if (tooltip_) DestroyWindow(tooltip_), tooltip_ = nullptr;
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
  natives_.clear();
  // The windows that drew with these are gone.
  for (auto& [name, font] : ownFonts_) counted::DeleteObject(font);
  ownFonts_.clear();
  for (HFONT* f : {&designFont_, &desktopFont_, &boldFont_})
    if (*f) counted::DeleteObject(*f), *f = nullptr;
  for (HICON& i : trayImages_)
    if (i) counted::DestroyIcon(i), i = nullptr;
  for (HICON& i : windowIcons_)
    if (i) counted::DestroyIcon(i), i = nullptr;
  ReleaseClass();
}

// The form's class goes with its last window, and its icons with it. Still in use by another
// form of the same class, it keeps them.
void Win32Application::FormWindow::ReleaseClass() {
  if (!classIcons_[0] && !classIcons_[1]) return;
  if (hwnd_ || !UnregisterClassW(form_.ClassName().c_str(), owner_.instance_)) return;
  for (HICON& i : classIcons_)
    if (i) counted::DestroyIcon(i), i = nullptr;
}

void Win32Application::FormWindow::Changed(Timer& timer) {
  const UINT_PTR id = UINT_PTR(std::find(timers_.begin(), timers_.end(), &timer) - timers_.begin()) + 1;
  if (timer.Enabled() && timer.Interval() > 0)
    SetTimer(hwnd_, id, timer.Interval(), nullptr);
  else
    KillTimer(hwnd_, id);
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
      const COLORREF own = color < 0 ? GetSysColor(COLOR_WINDOWTEXT) : ToColorRef(color);
      SetTextColor(dc, WindowTextColor(own, IsWindowEnabled(reinterpret_cast<HWND>(lParam)) != FALSE));
      SetBkColor(dc, WindowBackground());
      result = reinterpret_cast<LRESULT>(WindowBackgroundBrush());
      return true;
    }
    default:
      return false;
  }
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

// High contrast switched, or the scheme's colours changed: everything is painted afresh with
// the colours now in force, and the system's controls hear of it too.
void Win32Application::FormWindow::ColorsChanged(bool colors) {
  RefreshHighContrast();
  if (HighContrast() == paintedContrast_ && !colors) return;
  paintedContrast_ = HighContrast();
  for (const Native& n : natives_) SendMessageW(n.hwnd, WM_SYSCOLORCHANGE, 0, 0);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

LRESULT Win32Application::FormWindow::HandleForm(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::intptr_t own = 0;
  if (form_.HandleMessage(msg, wParam, lParam, own)) return own;
  LRESULT result = 0;
  if (HandleChildNotify(msg, wParam, lParam, result)) return result;
  if (HandleTray(msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_CLOSE:
      form_.Close();
      return 0;
    case WM_TIMER: {
      if (wParam == kDeferredPagesTimer) {
        RealiseDeferredPages();
        return 0;
      }
      if (wParam == kTrayRetryTimer) {
        RetryTray();
        return 0;
      }
      const std::size_t i = std::size_t(wParam) - 1;
      if (i < timers_.size()) timers_[i]->Fire();
      return 0;
    }
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* r = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd, nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, WindowBackgroundBrush());
      return 1;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      ColorsChanged(msg == WM_SYSCOLORCHANGE);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace ui::win32
