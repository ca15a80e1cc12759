// Vel.TrayIcon: tray presence once the shell is ready, hiding and showing the application,
// and bringing a window to the foreground against the system's foreground lock.
#pragma once

#include <cstdint>
#include <string>

#include "ui/application.h"

namespace Vel::TrayIcon {

using ui::NativeHandle;

inline constexpr unsigned kPollMs = 100;
inline constexpr std::uint64_t kWaitLimitMs = 10000;
inline constexpr int kSwHide = 0, kSwShow = 5, kSwRestore = 9;

// The operating-system calls these operations make; tests script them.
class ShellApi {
 public:
  virtual ~ShellApi() = default;
  virtual bool TaskbarExists() = 0;  // FindWindowW("Shell_TrayWnd", nullptr)
  virtual std::uint64_t TickCount64() = 0;
  virtual void Sleep(unsigned ms) = 0;
  virtual void ShowWindow(NativeHandle wnd, int command) = 0;
  virtual bool IsWindow(NativeHandle wnd) = 0;
  virtual bool IsIconic(NativeHandle wnd) = 0;
  virtual NativeHandle ForegroundWindow() = 0;
  virtual unsigned WindowThread(NativeHandle wnd) = 0;
  virtual bool AttachThreadInput(unsigned from, unsigned to, bool attach) = 0;
  virtual void BringWindowToTop(NativeHandle wnd) = 0;
  virtual void SetForegroundWindow(NativeHandle wnd) = 0;
  virtual unsigned ForegroundLockTimeout() = 0;
  virtual void SetForegroundLockTimeout(unsigned ms) = 0;
  virtual unsigned MajorVersion() = 0;
};

// The process's real implementation (Windows builds only).
ShellApi& SystemShellApi();

// The worker's part of VisibleOnShell, run on the calling thread: waits for the taskbar, then
// queues the final step. Exposed so tests drive it without a thread.
// `icon` is only dereferenced by the queued step, and only while `alive` has not expired.
void WaitForShell(const std::shared_ptr<const ui::StopSignal>& terminated, ui::MainThreadQueue& queue,
                  std::weak_ptr<void> alive, ui::TrayIcon* icon, const std::wstring& appName, ShellApi& api);
void VisibleOnShell(ui::Application& app, ui::TrayIcon& icon, const std::wstring& AppName, ShellApi& api);
void HideApplication(ui::Application& app, ShellApi& api);
void ShowApplication(ui::Application& app, ShellApi& api);
void ForceForegroundWindow(NativeHandle Wnd, ShellApi& api);

}  // namespace Vel::TrayIcon
