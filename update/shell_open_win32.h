// Opening web addresses from an elevated program without elevating the browser.
#pragma once

#include <string>

namespace Vel::Update {

enum class DesktopOpen { Opened, NoDesktop, Failed };
// Hands Address to the desktop shell's own, unelevated process. Call on a thread with COM
// initialised as a single-threaded apartment. NoDesktop: no desktop shell is there to ask.
DesktopOpen OpenThroughDesktop(const std::wstring& Address);

// The two routes ShellOpen chooses between; tests put stand-ins here.
struct ShellRoutes {
  DesktopOpen (*Desktop)(const std::wstring& Address) = nullptr;  // null: OpenThroughDesktop on an STA thread
  bool (*Direct)(const std::wstring& Address) = nullptr;           // null: ShellExecuteW from this process
};
ShellRoutes& ShellRoutesSeam();

}  // namespace Vel::Update
