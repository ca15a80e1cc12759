// This thread's message loop, for tests that drive real windows.
#pragma once

#include <windows.h>

#include <functional>

namespace pump {

// Handles everything queued now.
inline void Pending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Runs the loop until `done`, or for at most `ms`; true when done. Sleeps between messages.
inline bool Until(const std::function<bool()>& done, DWORD ms = 5000) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    Pending();
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
  }
}

// Runs the loop for `ms`, whatever comes.
inline void For(DWORD ms) { Until([] { return false; }, ms); }

}  // namespace pump
