#include "shell/trayicon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "ui/form.h"

namespace {

using namespace Vel::TrayIcon;

constexpr ui::NativeHandle kWnd = 0x100, kOther = 0x200, kHidden = 0x55;

// A scripted shell with a moving clock; every call is written to the log.
class FakeShell : public ShellApi {
 public:
  std::vector<std::string> log;
  std::uint64_t now = 5000;
  std::uint64_t taskbarAt = 0;  // tick from which the taskbar exists; 0: from the start
  bool taskbarNever = false;
  int looks = 0;
  std::function<void()> onSleep;
  ui::NativeHandle foreground = kOther;
  bool iconic = false, isWindow = true, attachOk = true;
  bool plainAttemptWorks = true, forcedAttemptWorks = true;
  unsigned threadOfWnd = 7, threadOfOther = 9, major = 10, lockTimeout = 200000;
  bool lockChanged = false;

  bool TaskbarExists() override {
    ++looks;
    return !taskbarNever && now >= taskbarAt;
  }
  std::uint64_t TickCount64() override { return now; }
  void Sleep(unsigned ms) override {
    now += ms;
    if (onSleep) onSleep();
  }
  void ShowWindow(ui::NativeHandle w, int cmd) override {
    log.push_back("show " + Name(w) + " " + std::to_string(cmd));
    if (w == kWnd && cmd == kSwRestore) iconic = false;
  }
  bool IsWindow(ui::NativeHandle) override { return isWindow; }
  bool IsIconic(ui::NativeHandle) override { return iconic; }
  ui::NativeHandle ForegroundWindow() override { return foreground; }
  unsigned WindowThread(ui::NativeHandle w) override { return w == kWnd ? threadOfWnd : threadOfOther; }
  bool AttachThreadInput(unsigned from, unsigned to, bool attach) override {
    log.push_back(std::string(attach ? "attach " : "detach ") + std::to_string(from) + ">" + std::to_string(to));
    return from != to && attachOk;  // the system refuses to attach a thread to itself
  }
  void BringWindowToTop(ui::NativeHandle w) override { log.push_back("top " + Name(w)); }
  void SetForegroundWindow(ui::NativeHandle w) override {
    log.push_back("foreground " + Name(w));
    if (lockChanged ? forcedAttemptWorks : plainAttemptWorks) foreground = w;
  }
  unsigned ForegroundLockTimeout() override {
    log.push_back("get-lock");
    return lockTimeout;
  }
  void SetForegroundLockTimeout(unsigned ms) override {
    log.push_back("set-lock " + std::to_string(ms));
    lockChanged = ms == 0;
  }
  unsigned MajorVersion() override { return major; }

  static std::string Name(ui::NativeHandle w) { return w == kWnd ? "wnd" : w == kHidden ? "app" : "?"; }
};

struct TrayFixture : ::testing::Test {
  fakes::AppPlatform platform;
  ui::Application app{platform};
  ui::Form form{nullptr, L"FrmQuorvane", L"TFrmQuorvane"};
  ui::TrayIcon& icon = form.Create<ui::TrayIcon>(L"TrayIcon");
  FakeShell shell;

  void Wait() { WaitForShell(app.TerminatedFlag(), *app.Queue(), icon.Lifetime(), &icon, L"Quorvane", shell); }
};

TEST_F(TrayFixture, IconAppearsOnceTheTaskbarIsThereOrTheWaitRunsOut) {
  struct Case {
    const char* name;
    std::uint64_t taskbarAfter;
    bool never;
    int looks;
    std::uint64_t elapsed;
  };
  for (const Case c : {Case{"present", 0, false, 1, 0}, Case{"late", 2500, false, 26, 2500},
                       Case{"never", 0, true, 101, 10000}}) {
    SCOPED_TRACE(c.name);
    icon.SetVisible(false);
    icon.SetHint(L"");
    shell.looks = 0;
    shell.now = 5000;
    shell.taskbarAt = shell.now + c.taskbarAfter;
    shell.taskbarNever = c.never;
    Wait();
    EXPECT_EQ(shell.looks, c.looks);
    EXPECT_EQ(shell.now - 5000, c.elapsed);
    EXPECT_FALSE(icon.Visible()) << "the icon is touched only on the main thread's turn";
    app.Queue()->Drain();
    EXPECT_TRUE(icon.Visible());
    EXPECT_EQ(icon.Hint(), L"Quorvane");
  }
}

TEST_F(TrayFixture, TerminatingWhileWaitingLeavesTheIconAlone) {
  shell.taskbarNever = true;
  shell.onSleep = [&] {
    if (shell.now >= 5300) app.Terminate();
  };
  Wait();
  app.Queue()->Drain();
  EXPECT_EQ(shell.looks, 3);
  EXPECT_FALSE(icon.Visible());
  EXPECT_EQ(icon.Hint(), L"");
}

TEST(TrayPresence, FinalStepDoesNothingWhenTheIconIsGone) {
  fakes::AppPlatform platform;
  ui::Application app{platform};
  FakeShell shell;
  auto form = std::make_unique<ui::Form>(nullptr, L"FrmQuorvane", L"TFrmQuorvane");
  auto& icon = form->Create<ui::TrayIcon>(L"TrayIcon");
  auto alive = icon.Lifetime();
  form.reset();
  // The wait itself may outlast the icon as well.
  WaitForShell(app.TerminatedFlag(), *app.Queue(), alive, &icon, L"Quorvane", shell);
  app.Queue()->Drain();  // would touch freed memory under the sanitizer if it ran
}

TEST_F(TrayFixture, HideAndShowApplication) {
  // Hide: the main window and the application's window, also without a main window.
  HideApplication(app, shell);
  EXPECT_EQ(shell.log, std::vector<std::string>{"show app 0"});
  app.SetMainForm(&form);
  form.SetHandle(kWnd);
  form.SetVisible(true);
  shell.log.clear();
  HideApplication(app, shell);
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(shell.log, std::vector<std::string>{"show app 0"});

  // Show with a dead handle: nothing at all.
  shell.log.clear();
  shell.isWindow = false;
  app.ShowMainForm = false;
  ShowApplication(app, shell);
  EXPECT_TRUE(shell.log.empty());
  EXPECT_FALSE(app.ShowMainForm);
  EXPECT_EQ(platform.restores, 0);

  // Show: application window, flag, restore, then the window to the front.
  shell.isWindow = true;
  ShowApplication(app, shell);
  EXPECT_TRUE(app.ShowMainForm);
  EXPECT_EQ(platform.restores, 1);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(shell.log.front(), "show app 5");
  EXPECT_EQ(shell.foreground, kWnd);
}

TEST_F(TrayFixture, ForceForegroundSequences) {
  using Log = std::vector<std::string>;
  struct Case {
    const char* name;
    std::function<void(FakeShell&)> setup;
    Log expected;
    ui::NativeHandle front;
  };
  const Case cases[] = {
      {"minimized and already in front: only restored",
       [](FakeShell& s) {
         s.iconic = true;
         s.foreground = kWnd;
       },
       {"show wnd 9"}, kWnd},
      {"before Vista: the simple attempt",
       [](FakeShell& s) { s.major = 5; }, {"top wnd", "foreground wnd"}, kWnd},
      {"plain attempt works: the lock timeout is left alone", [](FakeShell&) {},
       {"attach 7>9", "top wnd", "foreground wnd", "detach 7>9"}, kWnd},
      {"same thread in front: the attach is refused and nothing else is tried",
       [](FakeShell& s) { s.threadOfOther = 7; }, {"attach 7>7"}, kOther},
      {"attach refused", [](FakeShell& s) { s.attachOk = false; }, {"attach 7>9"}, kOther},
      {"plain attempt refused: lock timeout lowered and put back",
       [](FakeShell& s) { s.plainAttemptWorks = false; },
       {"attach 7>9", "top wnd", "foreground wnd", "detach 7>9", "get-lock", "set-lock 0", "top wnd",
        "foreground wnd", "set-lock 200000"},
       kWnd},
      {"everything refused: the timeout is still put back",
       [](FakeShell& s) { s.plainAttemptWorks = s.forcedAttemptWorks = false; },
       {"attach 7>9", "top wnd", "foreground wnd", "detach 7>9", "get-lock", "set-lock 0", "top wnd",
        "foreground wnd", "set-lock 200000"},
       kOther},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeShell s;
    c.setup(s);
    ForceForegroundWindow(kWnd, s);
    EXPECT_EQ(s.log, c.expected);
    EXPECT_EQ(s.foreground, c.front);
    EXPECT_FALSE(s.iconic);
  }
}

}  // namespace
