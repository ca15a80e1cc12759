// A page out of sight gets its windows only after the form's first paint, or when it is shown,
// and then shows the model as it is by that time.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"
#include "named_child.h"
#include "pump.h"

namespace {

HWND Named(HWND form, const wchar_t* name) { return named::Child(form, name); }

// Runs the loop until NAME has a window, for at most 5 s.
HWND PumpUntilNamed(HWND form, const wchar_t* name) {
  return pump::Until([&] { return Named(form, name) != nullptr; }) ? Named(form, name) : nullptr;
}

// A form of two pages, the second hidden; made at once, as the program's form is.
class Win32Pages : public ::testing::Test {
 protected:
  ui::Form form{nullptr, L"FrmPages", L"TQuorvanePagesTest"};
  ui::PageControl* pages = nullptr;
  ui::CheckBox* box = nullptr;
  ui::ComboBox* list = nullptr;
  ui::Label* label = nullptr;
  ui::GroupBox* group = nullptr;

  void SetUp() override {
    form.SetBounds({0, 0, 500, 450});
    pages = &form.Create<ui::PageControl>(L"PnlMain", &form);
    pages->SetBounds({0, 52, 500, 398});
    for (const wchar_t* name : {L"Card1", L"Card2"}) pages->AddPage(name).SetBounds({0, 0, 500, 398});
    pages->SetActivePageIndex(0);
    label = &form.Create<ui::Label>(L"LblPhys", &pages->PageAt(0));
    label->SetBounds({56, 223, 70, 13});
    group = &form.Create<ui::GroupBox>(L"GroupBox1", &pages->PageAt(1));
    group->SetBounds({15, 14, 474, 155});
    group->SetCaption(L"Memory");
    box = &form.Create<ui::CheckBox>(L"ChkMinute", &pages->PageAt(1));
    box->SetBounds({17, 146, 328, 17});
    box->SetCaption(L"Every");
    list = &form.Create<ui::ComboBox>(L"EditMinute", &pages->PageAt(1));
    list->SetBounds({372, 146, 81, 21});
    list->SetItems({L"5", L"10", L"15"});
    application.CreateForm(form);
    hwnd = reinterpret_cast<HWND>(form.Handle());
    ASSERT_TRUE(hwnd);
  }
  void TearDown() override { application.ReleaseForm(); }

  // The model outlives its windows, which the application takes down when it goes.
  ui::win32::Win32Application application{GetModuleHandleW(nullptr)};
  HWND hwnd = nullptr;
};

TEST_F(Win32Pages, AHiddenPageIsMadeAfterTheFirstPaintAsTheModelThenIs) {
  EXPECT_TRUE(Named(hwnd, L"LblPhys"));
  EXPECT_FALSE(Named(hwnd, L"Card2"));
  EXPECT_FALSE(Named(hwnd, L"EditMinute"));

  // Changes before its windows exist are what they show.
  box->SetChecked(true);
  box->SetCaption(L"Every minute");
  list->SetItemIndex(2);
  list->SetEnabled(false);
  form.UseDesktopFont();  // as the program's form does once made
  form.SetVisible(true);
  HWND listWnd = PumpUntilNamed(hwnd, L"EditMinute");
  ASSERT_TRUE(listWnd);
  HWND boxWnd = Named(hwnd, L"ChkMinute");
  ASSERT_TRUE(boxWnd);
  EXPECT_FALSE(IsWindowVisible(Named(hwnd, L"Card2")));
  EXPECT_EQ(SendMessageW(boxWnd, BM_GETCHECK, 0, 0), BST_CHECKED);
  wchar_t caption[32] = {};
  GetWindowTextW(boxWnd, caption, 32);
  EXPECT_STREQ(caption, L"Every minute");
  EXPECT_EQ(SendMessageW(listWnd, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(listWnd, CB_GETCURSEL, 0, 0), 2);
  EXPECT_FALSE(IsWindowEnabled(listWnd));
  const LRESULT font = SendMessageW(Named(hwnd, L"LblPhys"), WM_GETFONT, 0, 0);
  EXPECT_EQ(SendMessageW(listWnd, WM_GETFONT, 0, 0), font);
  HWND frame = GetWindow(Named(hwnd, L"GroupBox1"), GW_CHILD);
  ASSERT_TRUE(frame);
  EXPECT_EQ(SendMessageW(frame, WM_GETFONT, 0, 0), font) << "the group boxWnd's caption";
  RECT r;
  GetWindowRect(boxWnd, &r);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(r.left, MulDiv(17, dpi, 96));
  EXPECT_EQ(r.top, MulDiv(52 + 146, dpi, 96));
  EXPECT_EQ(r.right, MulDiv(17 + 328, dpi, 96));
  // A closed drop-down listWnd keeps the layout's height in the font it got.
  GetWindowRect(listWnd, &r);
  EXPECT_EQ(r.bottom - r.top, MulDiv(21, dpi, 96));

  // Made, it follows the model as every other page does.
  list->SetItemIndex(0);
  EXPECT_EQ(SendMessageW(listWnd, CB_GETCURSEL, 0, 0), 0);
  pages->SetActivePageIndex(1);
  EXPECT_TRUE(IsWindowVisible(listWnd));
}

TEST_F(Win32Pages, ShowingAPageNotYetMadeMakesItAtOnce) {
  ASSERT_FALSE(Named(hwnd, L"EditMinute"));
  pages->SetActivePageIndex(1);
  HWND card2 = Named(hwnd, L"Card2");
  ASSERT_TRUE(card2);
  EXPECT_TRUE(GetWindowLongW(card2, GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(GetWindowLongW(Named(hwnd, L"Card1"), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(Named(hwnd, L"EditMinute"));
  // Once made, the timer finds nothing left to make.
  MSG msg;
  const ULONGLONG end = GetTickCount64() + 200;
  while (GetTickCount64() < end)
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  int lists = 0;
  for (HWND c = GetWindow(card2, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[32];
    GetClassNameW(c, cls, 32);
    lists += lstrcmpiW(cls, L"ComboBox") == 0;
  }
  EXPECT_EQ(lists, 1);
}

}  // namespace
