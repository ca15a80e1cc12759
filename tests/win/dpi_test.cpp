// The form's windows follow a change of monitor DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"

namespace {

RECT ClientRectOf(HWND child, HWND form) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

LONG FontHeight(HWND h) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf.lfHeight;
}

TEST(Win32Dpi, MovingToAnotherDpiRescalesEverything) {
  // The model outlives its windows, which the application takes down when it goes.
  ui::Form form(nullptr, L"FrmDpi", L"TQuorvaneDpiTest");
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  form.SetBounds({0, 0, 500, 450});
  auto& panel = form.Create<ui::Panel>(L"PnlMain", &form);
  panel.SetBounds({0, 52, 500, 398});
  auto& label = form.Create<ui::Label>(L"LblPhys", &panel);
  label.SetBounds({56, 223, 70, 13});
  label.SetCaption(L"Physical");
  auto& list = form.Create<ui::ComboBox>(L"EditMinute", &panel);
  list.SetBounds({372, 116, 81, 21});
  list.SetItems({L"5", L"10"});
  application.CreateForm(form);
  HWND hwnd = reinterpret_cast<HWND>(form.Handle());
  ASSERT_TRUE(hwnd);
  HWND lbl = nullptr, cmb = nullptr;
  for (HWND c = GetWindow(GetWindow(hwnd, GW_CHILD), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[32];
    GetClassNameW(c, cls, 32);
    (lstrcmpiW(cls, L"Static") == 0 ? lbl : cmb) = c;
  }
  ASSERT_TRUE(lbl && cmb);

  struct Step {
    UINT dpi;
    RECT label;
    LONG listHeight;
  };
  // Edges scale as positions in the form: 56 * 1.5 = 84, (52 + 223) * 1.5 = 412.5 -> 413 ...
  for (const Step s : {Step{144, {84, 413, 189, 432}, 32}, Step{120, {70, 344, 158, 360}, 26},
                       Step{96, {56, 275, 126, 288}, 21}}) {
    SCOPED_TRACE(s.dpi);
    RECT suggested{10, 10, 10 + MulDiv(506, int(s.dpi), 96), 10 + MulDiv(479, int(s.dpi), 96)};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(s.dpi, s.dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, MulDiv(500, int(s.dpi), 96));
    EXPECT_EQ(client.bottom, MulDiv(450, int(s.dpi), 96));
    const RECT r = ClientRectOf(lbl, hwnd);
    EXPECT_EQ(r.left, s.label.left);
    EXPECT_EQ(r.top, s.label.top);
    EXPECT_EQ(r.right, s.label.right);
    EXPECT_EQ(r.bottom, s.label.bottom);
    const RECT c = ClientRectOf(cmb, hwnd);
    EXPECT_EQ(c.bottom - c.top, s.listHeight);
    EXPECT_EQ(FontHeight(lbl), -MulDiv(11, int(s.dpi), 96));
  }
}

}  // namespace
