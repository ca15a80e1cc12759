// The update prompt and the notice bar on real windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/threads.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"
#include "update/prompt_win32.h"

namespace {

HWND ChildOfClass(HWND parent, const wchar_t* cls, int* count = nullptr) {
  HWND found = nullptr;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[64];
    GetClassNameW(c, name, 64);
    if (lstrcmpiW(name, cls) == 0) {
      found = c;
      if (count) ++*count;
    }
  }
  return found;
}

struct TipSearch {
  HWND owner, tip = nullptr;
};

BOOL CALLBACK FindTip(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TipSearch*>(lp);
  wchar_t name[64];
  GetClassNameW(h, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0 && GetWindow(h, GW_OWNER) == s->owner) s->tip = h;
  return TRUE;
}

// The hint a tool window shows.
std::wstring HintOf(HWND form, HWND tool) {
  TipSearch s{form};
  EnumThreadWindows(GetCurrentThreadId(), FindTip, reinterpret_cast<LPARAM>(&s));
  if (!s.tip) return L"<no tooltip>";
  wchar_t text[512] = {};
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = form;
  ti.uId = reinterpret_cast<UINT_PTR>(tool);
  ti.lpszText = text;
  SendMessageW(s.tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
  return text;
}

std::wstring TextOf(HWND h) {
  wchar_t buf[256] = {};
  GetWindowTextW(h, buf, 256);
  return buf;
}

TEST(Win32NoticeBar, ASecondNoticeOnlyRefreshesTheBar) {
  // The model outlives its windows, which the application takes down when it goes.
  ui::Form form(nullptr, L"FrmBar", L"TQuorvaneBarTest");
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  form.SetBounds({0, 0, 500, 450});
  auto& button = form.Create<ui::Label>(L"LblPhys", &form);
  button.SetBounds({10, 420, 100, 20});
  application.CreateForm(form);
  application.App().SetMainForm(&form);
  HWND hwnd = reinterpret_cast<HWND>(form.Handle());
  ASSERT_TRUE(hwnd);
  auto prompt = Vel::Update::Win32UpdatePrompt(application.App(), L"en", L"Quorvane");

  for (const wchar_t* address : {L"https://a.test/first", L"https://a.test/second"}) {
    SCOPED_TRACE(testing::Message() << address);
    prompt->ShowUpdateStatus(address);
    int bars = 0;
    HWND bar = ChildOfClass(hwnd, STATUSCLASSNAMEW, &bars);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bars, 1);
    RECT client, r;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.bottom, 450 + 28);  // grown once
    GetWindowRect(bar, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.top, 450);
    EXPECT_EQ(r.bottom - r.top, 28);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(TextOf(bar), L"Update available");
    EXPECT_EQ(HintOf(hwnd, bar), address);
    // The form's own controls keep their places.
    HWND label = ChildOfClass(hwnd, L"Static");
    GetWindowRect(label, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.top, 420);
  }
  // The bar does not scale: at 144 DPI the window grows by the same 28 pixels.
  RECT suggested{10, 10, 10 + 759, 10 + 718};
  SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.bottom, 675 + 28);
}

struct PromptSeen {
  bool found = false, topmost = false, owned = false, smallIcon = false;
};

struct PromptSearch {
  bool visibleOnly;
  HWND found = nullptr;
};

BOOL CALLBACK FindPrompt(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<PromptSearch*>(lp);
  wchar_t name[16];
  GetClassNameW(h, name, 16);
  if (lstrcmpW(name, L"#32770") == 0 && (!s->visibleOnly || IsWindowVisible(h))) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

// Shows the prompt on this thread while a second one looks at it and answers No.
PromptSeen ShowAndLook(ui::Application& app, const std::wstring& flag) {
  PromptSeen seen;
  const DWORD uiThread = GetCurrentThreadId();
  platform::Thread watcher;
  watcher.Start([&] {
    PromptSearch shown{true};
    for (int i = 0; i < 2400 && !shown.found; ++i, Sleep(25))
      EnumThreadWindows(uiThread, FindPrompt, reinterpret_cast<LPARAM>(&shown));
    HWND dlg = shown.found;
    if (!dlg) {
      // Never shown: close whatever prompt there is, so that the test fails instead of hanging.
      PromptSearch any{false};
      EnumThreadWindows(uiThread, FindPrompt, reinterpret_cast<LPARAM>(&any));
      if (any.found) PostMessageW(any.found, WM_COMMAND, IDNO, 0);
      return;
    }
    seen.found = true;
    seen.topmost = (GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    seen.owned = GetWindow(dlg, GW_OWNER) != nullptr;
    seen.smallIcon = SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0) != 0;
    PostMessageW(dlg, WM_COMMAND, IDNO, 0);
  });
  Vel::Update::TUpdateAnswer answer;
  answer.Update = L"https://a.test/setup.exe";
  answer.Info.Flag = flag;
  const bool yes = Vel::Update::Win32UpdatePrompt(app, L"en", L"Quorvane")->UpdateDialog(L"", answer);
  watcher.Join();
  EXPECT_FALSE(yes);
  return seen;
}

TEST(Win32UpdatePrompt, StaysOnTopAsAWindowOfItsOwnOnlyWhenStartedInTheTray) {
  ui::Form form(nullptr, L"FrmPrompt", L"TQuorvanePromptTest");
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  form.SetBounds({0, 0, 200, 100});
  application.CreateForm(form);
  application.App().SetMainForm(&form);
  struct Case {
    const wchar_t* flag;
    bool shownAtStart, topmost, owned, smallIcon;
  } const cases[] = {
      {L"", true, false, true, false},
      {L"stayontop", true, true, true, false},  // a shown window keeps owner and icon
      {L"stayontop", false, true, false, true},
      {L"StayOnTop", false, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flag " << std::string(c.flag, c.flag + wcslen(c.flag)) << " shown "
                                    << c.shownAtStart);
    application.App().ShowMainForm = c.shownAtStart;
    const PromptSeen seen = ShowAndLook(application.App(), c.flag);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.topmost, c.topmost);
    EXPECT_EQ(seen.owned, c.owned);
    EXPECT_EQ(seen.smallIcon, c.smallIcon);
  }
}

}  // namespace
