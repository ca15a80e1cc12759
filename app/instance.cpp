#include "app/instance.h"

namespace app {

int RunEntry(const std::vector<std::wstring>& args, InstancePlatform& platform) {
  const std::wstring first = args.empty() ? std::wstring() : args.front();
  const ui::NativeHandle running = platform.FindRunningWindow();

  if (first == kSwitchUninst) {
    if (!platform.SendCommand(running, kInstanceQuit)) return kExitCopyHung;
    for (unsigned i = 0; i < kQuitWaitSleeps; ++i) {
      if (!platform.IsWindow(running)) break;
      platform.Sleep(kQuitWaitSleepMs);
    }
    return 0;
  }

  if (platform.MutexExists()) {
    if (!StartsHidden(first)) {
      if (running) platform.AllowForeground(running);
      platform.SendCommand(running, kInstanceShow);
    }
    return 0;
  }

  platform.CreateOwnedMutex();
  return platform.RunInstance(first);
}

}  // namespace app
