// A notification area too busy to answer, as at logon: the tray icon is asked for again after
// growing pauses, each time with a modify before the add, until the shell takes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "ui/form.h"
#include "ui/win32/win32_ui.h"
#include "pump.h"

namespace {

struct Call {
  DWORD message;
  ULONGLONG at;
};

// The stand-in shell: refuses the first `refusals` adds; modifies what it holds.
struct BusyShell {
  static inline std::vector<Call> calls;
  static inline int refusals = 0;
  static inline bool holds = false;
  static BOOL WINAPI Notify(DWORD message, PNOTIFYICONDATAW) {
    if (message == NIM_DELETE) {
      holds = false;
      return TRUE;
    }
    calls.push_back({message, GetTickCount64()});
    if (message == NIM_ADD && refusals-- <= 0) holds = true;
    return holds;
  }
  static int Adds() {
    int n = 0;
    for (const Call& c : calls) n += c.message == NIM_ADD;
    return n;
  }
};

class Win32TrayRetry : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ui::win32::TrayShellSeam();
    ui::win32::TrayShellSeam().Notify = BusyShell::Notify;
    BusyShell::calls.clear();
    BusyShell::holds = false;
    form.SetBounds({0, 0, 200, 100});
    icon = &form.Create<ui::TrayIcon>(L"TrayIcon");
    icon->SetImageIndex(0);
    application.CreateForm(form);
    ASSERT_TRUE(form.Handle());
  }
  void TearDown() override {
    application.ReleaseForm();
    ui::win32::TrayShellSeam() = saved_;
  }

  ui::Form form{nullptr, L"FrmTray", L"TQuorvaneTrayTest"};
  ui::TrayIcon* icon = nullptr;
  ui::win32::Win32Application application{GetModuleHandleW(nullptr)};
  ui::win32::TrayShell saved_;
};

TEST_F(Win32TrayRetry, RefusedAddsAreRetriedWithGrowingPausesModifyFirst) {
  ui::win32::TrayShellSeam().PauseUnitMs = 80;  // pauses of 80, 160, 320 ms
  BusyShell::refusals = 3;
  icon->SetVisible(true);
  ASSERT_EQ(BusyShell::Adds(), 1);  // refused at once; nothing waits on the main thread
  pump::For(1500);

  // First try and three retries, each a modify then an add; the fourth add is taken. (Deletes,
  // as of the icon still invisible when attached, are not recorded.)
  std::vector<DWORD> messages;
  for (const Call& c : BusyShell::calls) messages.push_back(c.message);
  const std::vector<DWORD> expected = {NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD,
                                       NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD};
  EXPECT_EQ(messages, expected);
  // Each pause at least as long as asked, and each about twice the one before.
  const ULONGLONG asked[] = {80, 160, 320};
  for (int i = 0; i < 3 && std::size_t(2 * i + 3) < BusyShell::calls.size(); ++i) {
    const ULONGLONG pause = BusyShell::calls[2 * i + 2].at - BusyShell::calls[2 * i + 1].at;
    EXPECT_GE(pause + 15, asked[i]) << "pause " << i;  // timers may fire a tick early
    EXPECT_LT(pause, asked[i] + 1000) << "pause " << i;
  }

  // Once it is in, changes are modifies and nothing is retried.
  icon->SetImageIndex(1);
  pump::For(300);
  EXPECT_EQ(BusyShell::calls.back().message, DWORD(NIM_MODIFY));
  EXPECT_EQ(BusyShell::Adds(), 4);
}

TEST_F(Win32TrayRetry, AShellThatNeverAnswersIsAskedForFiveMinutesThenLeftAlone) {
  ui::win32::TrayShellSeam().PauseUnitMs = 1;  // the five minutes as 300 ms
  BusyShell::refusals = 1000;
  icon->SetVisible(true);
  pump::For(1500);
  EXPECT_EQ(BusyShell::Adds(), 1 + 10);  // the first try and ten retries, then no more

  // A new shell announces itself: asked at once, and the round of retries starts again.
  BusyShell::calls.clear();
  BusyShell::refusals = 1;
  SendMessageW(reinterpret_cast<HWND>(form.Handle()), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(BusyShell::Adds(), 1);
  pump::For(1500);
  EXPECT_EQ(BusyShell::Adds(), 2);
}

TEST_F(Win32TrayRetry, AHiddenIconIsNotRetried) {
  ui::win32::TrayShellSeam().PauseUnitMs = 50;
  BusyShell::refusals = 1000;
  icon->SetVisible(true);
  icon->SetVisible(false);
  pump::For(400);
  EXPECT_EQ(BusyShell::Adds(), 1);
}

}  // namespace
