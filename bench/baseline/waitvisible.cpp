// qwaitvisible CLASS MS: waits until a top-level window of CLASS is visible and prints the moment
// it saw it, as Unix time in seconds. The caller starts it before the program under measurement,
// so start-up is timed on the same clock for every program and without a Wine start in the way.
// Prints "ready" once it is polling. qwaitvisible --gone CLASS MS waits until no such window is
// left. Exit 0 when seen, 1 on timeout, 2 on bad use.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

double UnixNow() {
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  const ULONGLONG t = (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return double(t - 116444736000000000ULL) / 1e7;  // 100 ns since 1601
}

bool Visible(const wchar_t* cls) {
  HWND h = FindWindowW(cls, nullptr);
  return h && IsWindowVisible(h);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool gone = argc > 1 && std::wcscmp(argv[1], L"--gone") == 0;
  if (argc < 3 + int(gone)) {
    std::fputs("usage: qwaitvisible [--gone] CLASS MS\n", stderr);
    return 2;
  }
  const wchar_t* cls = argv[1 + int(gone)];
  const DWORD limit = DWORD(std::wcstoul(argv[2 + int(gone)], nullptr, 0));
  std::puts("ready");
  std::fflush(stdout);
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (gone ? FindWindowW(cls, nullptr) == nullptr : Visible(cls)) {
      std::printf("%.6f\n", UnixNow());
      std::fflush(stdout);
      return 0;
    }
    if (GetTickCount64() - start >= limit) return 1;
    Sleep(1);  // the poll interval bounds the error of the figure
  }
}
