// What the test runner tells the Windows-side tests through the environment.
#pragma once

#include <windows.h>

#include <string>

// The variable's value; empty when it is not set or longer than any the runner sets.
inline std::wstring Env(const wchar_t* name) {
  wchar_t buf[256];
  const DWORD n = GetEnvironmentVariableW(name, buf, 256);
  return n > 0 && n < 256 ? std::wstring(buf, n) : std::wstring();
}
