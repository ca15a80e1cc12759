// The full-screen rule against real windows in front: a maximised window with a title bar is
// no full-screen program, even where its frame reaches past every edge of its monitor.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/fullscreen.h"
#include "pump.h"

namespace {

LRESULT CALLBACK Plain(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class FullScreenWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Plain;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvaneFullScreenTest";
    RegisterClassW(&wc);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &savedWorkArea_, 0));
    HMONITOR primary = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    info_.cbSize = sizeof info_;
    ASSERT_TRUE(GetMonitorInfoW(primary, &info_));
    // As with an auto-hidden taskbar: the work area is the whole monitor, so nothing keeps a
    // maximised window off the bottom edge.
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETWORKAREA, 0, &info_.rcMonitor, 0));
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    SystemParametersInfoW(SPI_SETWORKAREA, 0, &savedWorkArea_, 0);
    UnregisterClassW(L"QuorvaneFullScreenTest", GetModuleHandleW(nullptr));
  }
  HWND Front(DWORD style, const RECT& r, int show) {
    window_ = CreateWindowExW(0, L"QuorvaneFullScreenTest", L"In front", style, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, show);
    SetForegroundWindow(window_);
    pump::For(200);
    return window_;
  }
  bool Covers(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    const RECT& m = info_.rcMonitor;
    return r.left <= m.left && r.top <= m.top && r.right >= m.right && r.bottom >= m.bottom;
  }

  MONITORINFO info_{};
  RECT savedWorkArea_{};
  HWND window_ = nullptr;
};

TEST_F(FullScreenWin32, AMaximisedWindowWithATitleBarIsNotFullScreen) {
  HWND hwnd = Front(WS_OVERLAPPEDWINDOW, {100, 100, 600, 400}, SW_MAXIMIZE);
  ASSERT_EQ(GetForegroundWindow(), hwnd);
  ASSERT_TRUE(IsZoomed(hwnd));
  // Its rectangle covers the monitor: by the rectangle alone it would count.
  EXPECT_TRUE(Covers(hwnd));
  EXPECT_FALSE(app::IsForegroundFullScreen(app::SystemWindowQueries()));
}

TEST_F(FullScreenWin32, ABorderlessWindowOverTheMonitorIsFullScreen) {
  RECT over = info_.rcMonitor;
  InflateRect(&over, 4, 4);  // larger than its monitor on every side still counts
  HWND hwnd = Front(WS_POPUP, over, SW_SHOW);
  ASSERT_EQ(GetForegroundWindow(), hwnd);
  EXPECT_TRUE(app::IsForegroundFullScreen(app::SystemWindowQueries()));

  // And a borderless one maximised: no title bar, so still a game or a video.
  DestroyWindow(window_);
  hwnd = Front(WS_POPUP | WS_SYSMENU, {0, 0, 300, 200}, SW_MAXIMIZE);
  ASSERT_EQ(GetForegroundWindow(), hwnd);
  EXPECT_TRUE(Covers(hwnd));
  EXPECT_TRUE(app::IsForegroundFullScreen(app::SystemWindowQueries()));
}

}  // namespace
