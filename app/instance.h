// The entry point's decisions: become the running instance, or hand a command to it and end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/form.h"

namespace app {

inline constexpr wchar_t kInstanceName[] = L"TFrmQuorvane";
inline constexpr unsigned kWmUser = 0x0400;
inline constexpr wchar_t kSwitchStart[] = L"/start";
inline constexpr wchar_t kSwitchInst[] = L"/inst";
// Registers the logon task and starts in the tray: what a silent setup, or an upgrade of a copy
// hidden in the tray, needs. With a copy running it ends at once, as /start does.
inline constexpr wchar_t kSwitchInstStart[] = L"/inststart";
inline constexpr wchar_t kSwitchUninst[] = L"/uninst";

inline bool RegistersTask(const std::wstring& first) { return first == kSwitchInst || first == kSwitchInstStart; }
inline bool StartsHidden(const std::wstring& first) { return first == kSwitchStart || first == kSwitchInstStart; }

inline constexpr std::uintptr_t kInstanceShow = 1;
inline constexpr std::uintptr_t kInstanceQuit = 2;
inline constexpr unsigned kQuitWaitSleeps = 10;
inline constexpr unsigned kQuitWaitSleepMs = 100;
// A running copy that has not handled a command within this time is taken for hung: no start,
// and no uninstaller or setup that sends /uninst, may hang with it.
inline constexpr unsigned kSendTimeoutMs = 5000;
// /uninst's exit code when the running copy did not answer: it is still there, with its task.
inline constexpr int kExitCopyHung = 2;

class InstancePlatform {
 public:
  virtual ~InstancePlatform() = default;
  virtual ui::NativeHandle FindRunningWindow() = 0;
  virtual bool MutexExists() = 0;
  virtual void CreateOwnedMutex() = 0;
  // False when the window did not handle it within kSendTimeoutMs; true also for no window.
  virtual bool SendCommand(ui::NativeHandle window, std::uintptr_t command) = 0;
  // Lets the window's process take the foreground, which Windows otherwise refuses it.
  virtual void AllowForeground(ui::NativeHandle window) = 0;
  virtual bool IsWindow(ui::NativeHandle window) = 0;
  virtual void Sleep(unsigned ms) = 0;
  // Creates the main window and runs the message loop; returns the process's exit code.
  virtual int RunInstance(const std::wstring& firstArg) = 0;
};

// args excludes the program's own name.
int RunEntry(const std::vector<std::wstring>& args, InstancePlatform& platform);

}  // namespace app
