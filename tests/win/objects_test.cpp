// The program's books of system objects: a long day of work on the real main window leaves every
// count where it began, and closing the window gives back everything it made.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "app/layout.h"
#include "app/main.h"
#include "theme/theme.h"
#include "ui/win32/object_count.h"
#include "ui/win32/win32_ui.h"
#include "named_child.h"
#include "pump.h"
#include "real_services.h"
#include "update/prompt_win32.h"

namespace {

using ui::win32::LiveObjects;
using ui::win32::ObjectCounts;
using ui::win32::ObjectKind;
using ui::win32::PeakObjects;

std::string Describe(const ObjectCounts& c) {
  std::string s;
  for (int k = 0; k < ui::win32::kObjectKinds; ++k)
    s += std::string(k ? " " : "") + ui::win32::ObjectKindName(ObjectKind(k)) + "=" + std::to_string(c.n[k]);
  return s;
}

void ExpectSameCounts(const ObjectCounts& now, const ObjectCounts& before) {
  for (int k = 0; k < ui::win32::kObjectKinds; ++k)
    EXPECT_EQ(now.n[k], before.n[k]) << ui::win32::ObjectKindName(ObjectKind(k));
}

// Paints what is invalid, or with `all` everything, before returning.
void Paint(HWND form, bool all) {
  RedrawWindow(form, nullptr, nullptr,
               RDW_UPDATENOW | RDW_ALLCHILDREN | (all ? RDW_INVALIDATE | RDW_ERASE | RDW_FRAME : 0u));
}

HWND Named(HWND form, const wchar_t* name) { return named::Child(form, name); }

// A press and release of the left button in the middle of a styled button.
void ClickButton(HWND button) {
  RECT rc;
  GetClientRect(button, &rc);
  const LPARAM at = MAKELPARAM(rc.right / 2, rc.bottom / 2);
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(button, WM_LBUTTONUP, 0, at);
}

// Closes whatever modal thing this thread shows, from within its own loop: a menu is
// cancelled, a message box or the update prompt answered No. Each is gone before the loop lets the next tick in.
struct Dismisser {
  static inline int menus = 0, boxes = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, &Tick);
  Dismisser() { menus = boxes = 0; }
  ~Dismisser() { KillTimer(nullptr, timer); }

  static BOOL CALLBACK Look(HWND h, LPARAM lp) {
    if (!IsWindowVisible(h)) return TRUE;
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    auto* seen = reinterpret_cast<HWND*>(lp);
    if (lstrcmpW(cls, L"#32768") == 0) seen[0] = h;
    if (lstrcmpW(cls, L"#32770") == 0) seen[1] = h;
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND seen[2] = {nullptr, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), Look, reinterpret_cast<LPARAM>(seen));
    if (seen[0]) {
      ++menus;
      EndMenu();
    }
    if (seen[1]) {
      ++boxes;
      PostMessageW(seen[1], WM_COMMAND, IDNO, 0);
    }
  }
};

TEST(Win32Objects, ADayOfWorkLeavesEveryCountWhereItBegan) {
  const auto started = std::chrono::steady_clock::now();
  Vel::Theme::RegisterButtonStyles();
  const ObjectCounts atStart = LiveObjects();
  std::printf("objects at start: %s\n", Describe(atStart).c_str());
  ObjectCounts withWindow, peak;
  {
    real::MainWindow<> window;
    ui::Application& app = window.App();
    real::Services& services = window.services;
    app::TFrmQuorvane& form = window.form;
    HWND hwnd = window.Create();
    ASSERT_TRUE(hwnd);
    // The update service's notice bar, with its hint, lives as long as the window.
    const auto prompt = Vel::Update::Win32UpdatePrompt(app, L"en", L"Quorvane");
    prompt->ShowUpdateStatus(L"https://a.test/notice");
    form.SetVisible(true);
    Paint(hwnd, true);
    // The settings page is made once the first paint is done: the window is whole with it.
    ASSERT_TRUE(pump::Until([&] { return Named(hwnd, L"EditInfo") != nullptr; }));
    withWindow = LiveObjects();
    std::printf("objects with the window: %s\n", Describe(withWindow).c_str());
    EXPECT_GT(withWindow[ObjectKind::Window], atStart[ObjectKind::Window] + 30);
    EXPECT_GT(withWindow[ObjectKind::Gdi], atStart[ObjectKind::Gdi]);
    EXPECT_GT(withWindow[ObjectKind::Icon], atStart[ObjectKind::Icon]);
    ui::win32::ResetPeakObjects();

    // The status tick, once a second all day.
    const int snapshotsBefore = services.statusCalls;
    for (int i = 0; i < 1000; ++i) {
      SendMessageW(hwnd, WM_TIMER, 1, 0);
      Paint(hwnd, i % 50 == 0);
      pump::Pending();
    }
    EXPECT_GE(services.statusCalls - snapshotsBefore, 1000);

    // Clean runs, half from the button, half from the tray icon (which then tells of it).
    HWND clean = Named(hwnd, L"BtnClean");
    ASSERT_TRUE(clean);
    form.ChkCleanOnTray->SetChecked(true);
    for (int i = 0; i < 100; ++i) {
      SCOPED_TRACE(i);
      if (i % 2)
        SendMessageW(hwnd, ui::win32::kTrayMessage, 1, WM_LBUTTONUP);
      else
        ClickButton(clean);
      ASSERT_TRUE(form.IsRunning());
      Paint(hwnd, false);
      ASSERT_TRUE(pump::Until([&] { return !form.IsRunning(); }));
      Paint(hwnd, true);
    }
    EXPECT_EQ(services.cleans.load(), 100);
    EXPECT_EQ(services.notifications.size(), 50u);

    // Moves between monitors of 96, 120 and 144 DPI, ending where it began.
    constexpr UINT kDpis[] = {120, 144, 120, 96};
    for (int i = 0; i < 20; ++i) {
      const UINT dpi = kDpis[i % 4];
      RECT suggested{10, 10, 10 + MulDiv(506, int(dpi), 96), 10 + MulDiv(479, int(dpi), 96)};
      SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
      Paint(hwnd, true);
      pump::Pending();
      RECT client;
      GetClientRect(hwnd, &client);
      EXPECT_EQ(client.right, MulDiv(app::kClientWidth, int(dpi), 96)) << dpi;
    }

    // The shell restarts and loses the icon; its broadcast brings the icon back.
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = hwnd;
    nid.uID = 1;
    for (int i = 0; i < 50; ++i) {
      SCOPED_TRACE(i);
      Shell_NotifyIconW(NIM_DELETE, &nid);
      SendMessageW(hwnd, taskbarCreated, 0, 0);
      ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &nid));
    }

    // The header's page buttons.
    HWND config = Named(hwnd, L"BtnConfig"), home = Named(hwnd, L"BtnHome");
    ASSERT_TRUE(config && home);
    for (int i = 0; i < 20; ++i) {
      const int page = i % 2 == 0 ? 1 : 0;
      ClickButton(page ? config : home);
      Paint(hwnd, false);
      pump::Pending();
      EXPECT_EQ(form.PnlMain->ActivePageIndex(), page) << i;
    }

    {
      Dismisser dismiss;
      // The tray menu, opened and left.
      for (int i = 0; i < 10; ++i) {
        SendMessageW(hwnd, ui::win32::kTrayMessage, 1, WM_RBUTTONUP);
        pump::Pending();
      }
      EXPECT_EQ(Dismisser::menus, 10);
      // Its last item asks whether to quit; No keeps the program.
      for (int i = 0; i < 10; ++i) {
        SendMessageW(hwnd, WM_COMMAND, app::kCmdClose, 0);
        pump::Pending();
        ASSERT_FALSE(form.Closed()) << i;
      }
      EXPECT_EQ(Dismisser::boxes, 10);
      // The update prompt, plain and with each strip beneath it, declined.
      for (const wchar_t* strip : {L"", L"hold", L"note", L"", L"hold", L"note"}) {
        Vel::Update::TUpdateAnswer answer;
        answer.Update = L"https://a.test/setup.exe";
        answer.Info.Style = strip;
        answer.Info.Text = L"More";
        answer.Info.Url = L"https://a.test/more";
        EXPECT_FALSE(prompt->UpdateDialog(L"", answer));
        pump::Pending();
      }
      EXPECT_EQ(Dismisser::boxes, 16);
    }
    EXPECT_TRUE(IsWindow(hwnd));

    Paint(hwnd, true);
    pump::Pending();
    peak = PeakObjects();
    const ObjectCounts afterDay = LiveObjects();
    std::printf("objects at peak: %s\n", Describe(peak).c_str());
    std::printf("objects after the day: %s\n", Describe(afterDay).c_str());
    ExpectSameCounts(afterDay, withWindow);
    // The books saw the work: paints, screen DCs for new chips, and the tray menu came and went.
    EXPECT_GT(peak[ObjectKind::Gdi], withWindow[ObjectKind::Gdi]);
    EXPECT_GT(peak[ObjectKind::Dc], withWindow[ObjectKind::Dc]);
    EXPECT_EQ(peak[ObjectKind::Menu], withWindow[ObjectKind::Menu] + 1);
  }
  const ObjectCounts atEnd = LiveObjects();
  std::printf("objects at end: %s\n", Describe(atEnd).c_str());
  ExpectSameCounts(atEnd, atStart);
  std::printf("object accounting took %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

}  // namespace
