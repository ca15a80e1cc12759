#include <windows.h>

#include "shell/trayicon.h"

namespace Vel::TrayIcon {
namespace {

HWND H(NativeHandle h) { return reinterpret_cast<HWND>(h); }

class Win32ShellApi final : public ShellApi {
 public:
  bool TaskbarExists() override { return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }
  std::uint64_t TickCount64() override { return GetTickCount64(); }
  void Sleep(unsigned ms) override { ::Sleep(ms); }
  void ShowWindow(NativeHandle wnd, int command) override { ::ShowWindow(H(wnd), command); }
  bool IsWindow(NativeHandle wnd) override { return ::IsWindow(H(wnd)); }
  bool IsIconic(NativeHandle wnd) override { return ::IsIconic(H(wnd)); }
  NativeHandle ForegroundWindow() override { return reinterpret_cast<NativeHandle>(GetForegroundWindow()); }
  unsigned WindowThread(NativeHandle wnd) override { return GetWindowThreadProcessId(H(wnd), nullptr); }
  bool AttachThreadInput(unsigned from, unsigned to, bool attach) override {
    return ::AttachThreadInput(from, to, attach);
  }
  void BringWindowToTop(NativeHandle wnd) override { ::BringWindowToTop(H(wnd)); }
  void SetForegroundWindow(NativeHandle wnd) override { ::SetForegroundWindow(H(wnd)); }
  unsigned ForegroundLockTimeout() override {
    DWORD value = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &value, 0);
    return value;
  }
  void SetForegroundLockTimeout(unsigned ms) override {
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<PVOID>(UINT_PTR(ms)), SPIF_SENDCHANGE);
  }
  unsigned MajorVersion() override {
    // The manifest names every system up to 10, so the answer is not capped at 6.2.
    OSVERSIONINFOW info{sizeof info};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return 6;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
  }
};

}  // namespace

ShellApi& SystemShellApi() {
  static Win32ShellApi api;
  return api;
}

}  // namespace Vel::TrayIcon
