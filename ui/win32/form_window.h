// The form's Win32 peer, shared by the files that implement it: each of them owns one part of
// its work (form and realisation, DPI and fonts, tray, styled buttons, small controls).
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ui/win32/object_count.h"
#include "ui/win32/win32_ui.h"

namespace ui::win32 {

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
// Window class of panels, pages, toolbars, images and group boxes.
inline constexpr wchar_t kPanelClass[] = L"QuorvanePanel";
// Where a subclassed control keeps the window procedure it had.
inline constexpr wchar_t kButtonProcProp[] = L"QuorvaneButtonProc";
inline constexpr wchar_t kEditProcProp[] = L"QuorvaneEditProc";
inline constexpr wchar_t kStatusBarProcProp[] = L"QuorvaneStatusBarProc";
// The form's own timer; those of its Timer components are numbered from 1.
inline constexpr UINT_PTR kDeferredPagesTimer = 0x7FFF;
inline constexpr UINT_PTR kTrayRetryTimer = 0x7FFE;

// A function of user32 that older systems lack; null there.
template <class Fn>
Fn UserProc(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// The window's DPI, or the system's where the window cannot say.
UINT WindowDpi(HWND hwnd);
COLORREF ToColorRef(std::int32_t rgb);
// System colours in a look become the user's current ones.
Color Resolved(Color c);
bool IsStyledButton(const Control& c);
// The cursor is over this very window, not over one in front of it.
bool CursorOver(HWND hwnd);
void TrackLeave(HWND hwnd);

// Replaces a system control's window procedure with ours; the old one is kept in `prop`.
void Subclass(HWND hwnd, const wchar_t* prop, WNDPROC proc);
// Passes a message on to the procedure that `Subclass` replaced.
LRESULT CallOriginal(HWND hwnd, const wchar_t* prop, UINT msg, WPARAM wParam, LPARAM lParam);

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

  // The form window and the realisation of controls.
  static LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
  static FormWindow* FromHwnd(HWND hwnd);
  // The form that a child window belongs to, and that child's record.
  static FormWindow* FromChild(HWND hwnd, Native*& native);
  LRESULT HandleForm(HWND, UINT, WPARAM, LPARAM);
  // Messages that child controls send to whatever window is their parent.
  bool HandleChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void RealiseChildren(Control& parent, HWND parentHwnd);
  HWND RealiseControl(Control& c, HWND parentHwnd);
  void RealiseLate(Control& c);
  // Pages out of sight when the form is made wait until its first paint is done, or until one
  // of them is shown: they are most of its windows, and the window appears sooner without them.
  void RealiseDeferredPages();
  bool IsDeferred(const Control& c) const;
  void NameWindow(const Native& n);
  HWND CreateNative(Control& c, HWND parentHwnd, HWND& frame);
  void Attach(Component& c);
  void ReleaseClass();
  Native* Find(Control& c);
  Native* FindHwnd(HWND hwnd);
  DWORD FormStyle() const {
    const DWORD common = WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    return form_.Border() == BorderStyle::None ? WS_POPUP | common : WS_OVERLAPPED | WS_CAPTION | common;
  }

  // DPI and fonts.
  int Scale(int v) const { return MulDiv(v, int(dpi_), 96); }
  RECT ScaledRect(const Control& c) const;
  void ApplyBounds(Native& n);
  // Where the control's window belongs, relative to its parent, at this DPI.
  RECT PlaceFor(const Control& c) const;
  static void MoveUnlessThere(HWND hwnd, const RECT& r);
  void FitComboHeight(Native& n);
  void FitClientSize();
  void MakeFonts();
  HFONT FontFor(Control& c);
  void ApplyFont(Native& n);
  void ApplyFonts();
  void ApplyDpi(UINT dpi);

  // High contrast turned on or off, or the system's colours changed.
  void ColorsChanged(bool colors);

  // The tray icon, its balloon and its menu.
  void TrayUpdate(TrayIcon& icon, DWORD message);
  // A shell that refused the icon is asked again, after growing pauses.
  void ScheduleTrayRetry();
  void RetryTray();
  void MakeTrayImages();
  // The program's icon at the window's DPI, for its title bar and the taskbar.
  void MakeWindowIcons();
  void ShowTrayMenu(TrayIcon& icon);
  bool HandleTray(UINT msg, WPARAM wParam, LPARAM lParam);

  // Styled buttons.
  static LRESULT CALLBACK StyledButtonProc(HWND, UINT, WPARAM, LPARAM);
  bool HandleStyledButton(Native& n, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void PaintButton(Native& n, HDC dc, const RECT& rc);
  // A button that changes its enabled state forgets the pointer, or finds it over itself again.
  void ResetPointer(Native& n);

  // The small controls: panels and images, the read-only edit, the status bar, hints.
  static LRESULT CALLBACK PanelProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK StatusBarProc(HWND, UINT, WPARAM, LPARAM);
  static void PaintShape(HWND hwnd, HDC dc, const Shape& shape);
  void PaintStatusBar(Native& n, HDC dc);
  void SetHint(Native& n, const std::wstring& hint);
  // Status bars sit below the form's designed client area, at their own pixel height.
  int BottomBarsHeight() const;
  void PlaceStatusBar(Native& n);

  Win32Application& owner_;
  Form& form_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  std::vector<Native> natives_;
  bool deferPages_ = false;  // only while the form is first realised
  bool nameLater_ = false;   // while RealiseLate makes windows
  std::vector<Control*> deferredPages_;
  std::vector<Timer*> timers_;
  std::vector<TrayIcon*> trays_;
  std::map<std::wstring, HFONT> ownFonts_;
  HFONT designFont_ = nullptr;
  HFONT desktopFont_ = nullptr;
  HFONT boldFont_ = nullptr;  // the form's font, bold
  HWND tooltip_ = nullptr;    // hints, made with the first control that has one
  // The stock brush: the window classes keep it, and it must outlive every form that used it.
  HBRUSH white_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  HICON trayImages_[2] = {nullptr, nullptr};
  HICON windowIcons_[2] = {nullptr, nullptr};  // ICON_SMALL, ICON_BIG
  HICON classIcons_[2] = {nullptr, nullptr};   // the form class's, while this form registered it
  UINT taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  bool paintedContrast_ = false;  // high contrast as last painted
  int trayRetry_ = 0;             // retries made since the shell last refused
  bool trayRetryPending_ = false;  // kTrayRetryTimer is set
};

}  // namespace ui::win32
