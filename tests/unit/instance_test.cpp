#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/instance.h"

using namespace app;

namespace {

class FakeInstancePlatform : public InstancePlatform {
 public:
  ui::NativeHandle window = 0;
  bool mutex = false;
  int windowGoneAfterChecks = -1;  // -1: the window never goes
  bool hung = false;               // the window does not answer
  std::vector<std::wstring> calls;
  int isWindowChecks = 0, sleeps = 0;
  std::wstring ranWith = L"<not run>";

  ui::NativeHandle FindRunningWindow() override {
    calls.push_back(L"find");
    return window;
  }
  bool MutexExists() override {
    calls.push_back(L"open-mutex");
    return mutex;
  }
  void CreateOwnedMutex() override { calls.push_back(L"create-mutex"); }
  bool SendCommand(ui::NativeHandle w, std::uintptr_t command) override {
    calls.push_back(L"send " + std::to_wstring(w) + L" " + std::to_wstring(command));
    return !(hung && w);
  }
  void AllowForeground(ui::NativeHandle w) override { calls.push_back(L"allow " + std::to_wstring(w)); }
  bool IsWindow(ui::NativeHandle w) override {
    ++isWindowChecks;
    if (w == 0) return false;
    return windowGoneAfterChecks < 0 || isWindowChecks <= windowGoneAfterChecks;
  }
  void Sleep(unsigned ms) override {
    EXPECT_EQ(ms, 100u);
    ++sleeps;
  }
  int RunInstance(const std::wstring& firstArg) override {
    calls.push_back(L"run");
    ranWith = firstArg;
    return 0;
  }
};

std::wstring Join(const std::vector<std::wstring>& v) {
  std::wstring s;
  for (const auto& x : v) s += (s.empty() ? L"" : L", ") + x;
  return s;
}

}  // namespace

TEST(RunEntry, DispatchTable) {
  struct Case {
    std::vector<std::wstring> args;
    bool running;
    std::wstring expected;
  } cases[] = {
      {{L"/start"}, false, L"find, open-mutex, create-mutex, run"},
      {{L"/start"}, true, L"find, open-mutex"},
      {{L"/inst"}, false, L"find, open-mutex, create-mutex, run"},
      {{L"/inst"}, true, L"find, open-mutex, allow 7, send 7 1"},
      {{L"/inststart"}, false, L"find, open-mutex, create-mutex, run"},
      {{L"/inststart"}, true, L"find, open-mutex"},
      {{L"/INSTSTART"}, true, L"find, open-mutex, allow 7, send 7 1"},
      {{}, false, L"find, open-mutex, create-mutex, run"},
      {{}, true, L"find, open-mutex, allow 7, send 7 1"},
      {{L"other"}, true, L"find, open-mutex, allow 7, send 7 1"},
      {{L"/START"}, true, L"find, open-mutex, allow 7, send 7 1"},
      {{L"/Start"}, false, L"find, open-mutex, create-mutex, run"},
      {{L"x", L"/start"}, true, L"find, open-mutex, allow 7, send 7 1"},
      {{L"/start", L"x"}, true, L"find, open-mutex"},
      // /uninst is decided before the mutex test and never starts a window.
      {{L"/uninst"}, false, L"find, send 0 2"},
      {{L"/UNINST"}, false, L"find, open-mutex, create-mutex, run"},
  };
  for (const Case& c : cases) {
    FakeInstancePlatform p;
    p.mutex = c.running;
    p.window = c.running ? 7 : 0;
    RunEntry(c.args, p);
    EXPECT_EQ(Join(p.calls), c.expected) << (c.args.empty() ? L"(none)" : c.args[0]) << " running=" << c.running;
  }
}

TEST(RunEntry, RunsInstanceWithFirstArgument) {
  FakeInstancePlatform p;
  RunEntry({L"/start", L"/inst"}, p);
  EXPECT_EQ(p.ranWith, L"/start");
}

TEST(RunEntry, UninstWaitsForTheWindowAtMostTenSleeps) {
  struct Case {
    bool windowExists;
    int goneAfter;
    int sleeps;
  } cases[] = {
      {false, -1, 0},  // no copy running: ends at once
      {true, 1, 1},    // gone at the second look
      {true, 4, 4},
      {true, -1, 10},  // never goes: gives up after the tenth sleep
  };
  for (const Case& c : cases) {
    FakeInstancePlatform p;
    p.window = c.windowExists ? 9 : 0;
    p.mutex = c.windowExists;
    p.windowGoneAfterChecks = c.goneAfter;
    RunEntry({L"/uninst"}, p);
    EXPECT_EQ(p.sleeps, c.sleeps) << c.goneAfter;
    EXPECT_EQ(Join(p.calls), L"find, send " + std::to_wstring(p.window) + L" 2");
  }
}

TEST(RunEntry, AHungCopyEndsTheSenderAndUninstSaysSo) {
  struct Case {
    std::vector<std::wstring> args;
    int exitCode;
    std::wstring calls;
  } cases[] = {
      // The quit command went unanswered: the copy and its task are still there.
      {{L"/uninst"}, kExitCopyHung, L"find, send 7 2"},
      {{}, 0, L"find, open-mutex, allow 7, send 7 1"},
  };
  for (const Case& c : cases) {
    FakeInstancePlatform p;
    p.window = 7;
    p.mutex = true;
    p.hung = true;
    EXPECT_EQ(RunEntry(c.args, p), c.exitCode);
    EXPECT_EQ(Join(p.calls), c.calls);
    EXPECT_EQ(p.sleeps, 0);  // no waiting for a window that will not go
  }
}
