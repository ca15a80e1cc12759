// Windows-side tests: the Win32 implementations against the real thing, run under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "memory/memory.h"
#include "ui/win32/win32_ui.h"
#include "update/version.h"

TEST(Win32Memory, SnapshotAgreesWithGlobalMemoryStatusEx) {
  Vel::Memory::TMemoryStatus s;
  Vel::Memory::GetMemoryStatus(s);
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  ASSERT_TRUE(GlobalMemoryStatusEx(&ms));
  EXPECT_EQ(s.TotalPhys, ms.ullTotalPhys);
  EXPECT_EQ(s.TotalPage, ms.ullTotalPageFile);
  EXPECT_EQ(s.TotalVirtual, ms.ullTotalVirtual);
  EXPECT_GT(s.TotalPhys, 0u);
  EXPECT_GT(s.UsagePhys, 0.f);
  EXPECT_LE(s.UsagePhys, 100.f);
  // A 32-bit process sees at most 4 GiB of address space (the 64-bit test build, 128 TiB).
  EXPECT_LE(s.TotalVirtual, sizeof(void*) == 4 ? 4ull << 30 : 128ull << 40);
}

TEST(Win32Version, ReadsTheVersionResourceOfTheRunningExe) {
  EXPECT_EQ(Vel::Update::GetVersionText(L"%d.%d.%d"), L"1.9.5");
  EXPECT_EQ(Vel::Update::GetVersionText(L"%d.%d.%d.%d"), L"1.9.5.0");
}

TEST(Win32Toolkit, WorkerHandOverRunsOnTheMessageLoop) {
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  auto queue = application.App().Queue();
  DWORD ranOn = 0;
  bool done = false;
  ui::StartWorker([&] { queue->Synchronize([&] { ranOn = GetCurrentThreadId(); done = true; }); });
  const ULONGLONG end = GetTickCount64() + 5000;
  MSG msg;
  while (!done && GetTickCount64() < end) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    else Sleep(1);
  }
  EXPECT_TRUE(done);
  EXPECT_EQ(ranOn, GetCurrentThreadId());
}
