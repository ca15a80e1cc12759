#include <windows.h>

#include "app/fullscreen.h"

namespace app {
namespace {

class Win32WindowQueries final : public WindowQueries {
 public:
  Handle Foreground() override { return reinterpret_cast<Handle>(GetForegroundWindow()); }
  Handle Desktop() override { return reinterpret_cast<Handle>(GetDesktopWindow()); }
  void ClassName(Handle window, wchar_t* name) override {
    if (GetClassNameW(reinterpret_cast<HWND>(window), name, 256) <= 0) name[0] = 0;
  }
  bool MonitorRect(Handle window, ScreenRect& rect) override {
    HMONITOR monitor = MonitorFromWindow(reinterpret_cast<HWND>(window), MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return false;
    rect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    return true;
  }
  bool WindowRect(Handle window, ScreenRect& rect) override {
    RECT r;
    if (!GetWindowRect(reinterpret_cast<HWND>(window), &r)) return false;
    rect = {r.left, r.top, r.right, r.bottom};
    return true;
  }
  bool MaximisedWithCaption(Handle window) override {
    HWND hwnd = reinterpret_cast<HWND>(window);
    return IsZoomed(hwnd) && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  }
};

}  // namespace

WindowQueries& SystemWindowQueries() {
  static Win32WindowQueries instance;
  return instance;
}

}  // namespace app
