// A page out of sight gets its windows only after the form's first paint, or when it is shown,
// and then shows the model as it is by that time.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"

namespace {

struct NameSearch {
  const wchar_t* name;
  HWND found = nullptr;
};

BOOL CALLBACK FindNamed(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<NameSearch*>(lp);
  wchar_t name[64] = {};
  if (ATOM a = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(h, ui::win32::kNameProp)))) GlobalGetAtomNameW(a, name, 64);
  if (lstrcmpW(name, s->name) != 0) return TRUE;
  s->found = h;
  return FALSE;
}

HWND Named(HWND form, const wchar_t* name) {
  NameSearch s{name};
  EnumChildWindows(form, FindNamed, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Runs the loop until NAME has a window, for at most 5 s.
HWND PumpUntilNamed(HWND form, const wchar_t* name) {
  const ULONGLONG end = GetTickCount64() + 5000;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (HWND h = Named(form, name)) return h;
    if (GetTickCount64() >= end) return nullptr;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

struct TwoPages {
  ui::Form form{nullptr, L"FrmPages", L"TQuorvanePagesTest"};
  ui::PageControl* pages = nullptr;
  ui::CheckBox* box = nullptr;
  ui::ComboBox* list = nullptr;
  ui::Label* label = nullptr;
  ui::GroupBox* group = nullptr;

  TwoPages() {
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
  }
};

TEST(Win32Pages, AHiddenPageIsMadeAfterTheFirstPaintAsTheModelThenIs) {
  TwoPages t;
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  application.CreateForm(t.form);
  HWND hwnd = reinterpret_cast<HWND>(t.form.Handle());
  ASSERT_TRUE(hwnd);
  EXPECT_TRUE(Named(hwnd, L"LblPhys"));
  EXPECT_FALSE(Named(hwnd, L"Card2"));
  EXPECT_FALSE(Named(hwnd, L"EditMinute"));

  // Changes before its windows exist are what they show.
  t.box->SetChecked(true);
  t.box->SetCaption(L"Every minute");
  t.list->SetItemIndex(2);
  t.list->SetEnabled(false);
  t.form.UseDesktopFont();  // as the program's form does once made
  t.form.SetVisible(true);
  HWND list = PumpUntilNamed(hwnd, L"EditMinute");
  ASSERT_TRUE(list);
  HWND box = Named(hwnd, L"ChkMinute");
  ASSERT_TRUE(box);
  EXPECT_FALSE(IsWindowVisible(Named(hwnd, L"Card2")));
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  wchar_t caption[32] = {};
  GetWindowTextW(box, caption, 32);
  EXPECT_STREQ(caption, L"Every minute");
  EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 2);
  EXPECT_FALSE(IsWindowEnabled(list));
  const LRESULT font = SendMessageW(Named(hwnd, L"LblPhys"), WM_GETFONT, 0, 0);
  EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), font);
  HWND frame = GetWindow(Named(hwnd, L"GroupBox1"), GW_CHILD);
  ASSERT_TRUE(frame);
  EXPECT_EQ(SendMessageW(frame, WM_GETFONT, 0, 0), font) << "the group box's caption";
  RECT r;
  GetWindowRect(box, &r);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(r.left, MulDiv(17, dpi, 96));
  EXPECT_EQ(r.top, MulDiv(52 + 146, dpi, 96));
  EXPECT_EQ(r.right, MulDiv(17 + 328, dpi, 96));
  // A closed drop-down list keeps the layout's height in the font it got.
  GetWindowRect(list, &r);
  EXPECT_EQ(r.bottom - r.top, MulDiv(21, dpi, 96));

  // Made, it follows the model as every other page does.
  t.list->SetItemIndex(0);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
  t.pages->SetActivePageIndex(1);
  EXPECT_TRUE(IsWindowVisible(list));
  application.ReleaseForm();
}

TEST(Win32Pages, ShowingAPageNotYetMadeMakesItAtOnce) {
  TwoPages t;
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  application.CreateForm(t.form);
  HWND hwnd = reinterpret_cast<HWND>(t.form.Handle());
  ASSERT_TRUE(hwnd);
  ASSERT_FALSE(Named(hwnd, L"EditMinute"));
  t.pages->SetActivePageIndex(1);
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
  application.ReleaseForm();
}

}  // namespace
