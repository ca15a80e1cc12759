// The accent line and the styled buttons as Windows paints them, at two DPI settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "theme/theme.h"
#include "theme/theme_win32.h"
#include "ui/control.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"

namespace {

constexpr COLORREF kAccent = RGB(0x3D, 0x84, 0xDD);
constexpr COLORREF kLight = RGB(0x50, 0x90, 0xE0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

struct Search {
  std::wstring name;
  HWND found = nullptr;
};

BOOL CALLBACK MatchName(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  wchar_t buf[64] = {};
  if (const ATOM a = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(h, ui::win32::kNameProp))))
    GlobalGetAtomNameW(a, buf, 64);
  if (s->name == buf) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND Child(HWND form, const wchar_t* name) {
  Search s{name};
  EnumChildWindows(form, MatchName, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

RECT InForm(HWND child, HWND form) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// What the window paints, asked of it the way a screen reader or a thumbnail would.
class Printed {
 public:
  explicit Printed(HWND h) {
    RECT rc;
    GetClientRect(h, &rc);
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bmp_ = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bmp_);
    RECT all{0, 0, rc.right, rc.bottom};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));  // shows any pixel left unpainted
    FillRect(dc_, &all, magenta);
    DeleteObject(magenta);
    SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
  }
  ~Printed() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC dc_;
  HBITMAP bmp_;
  HGDIOBJ old_;
};

void SetDpi(HWND form, UINT dpi) {
  RECT suggested{0, 0, MulDiv(506, int(dpi), 96), MulDiv(479, int(dpi), 96)};
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST(Win32Theme, AccentLineTakesTheTopRowsAndGreysWhileTheWindowIsInactive) {
  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  ui::Form form(nullptr, L"FrmTheme", L"TQuorvaneThemeTest");
  form.SetBounds({0, 0, 500, 450});
  auto& head = form.Create<ui::Panel>(L"PnlHead", &form);
  head.SetBounds({0, 2, 500, 50});
  form.OnCreate = [&](ui::Component&) { Vel::Theme::ApplyAccentLine(form); };
  application.CreateForm(form);
  HWND hwnd = reinterpret_cast<HWND>(form.Handle());
  ASSERT_TRUE(hwnd);
  HWND line = ChildWindowFromPointEx(hwnd, POINT{250, 0}, CWP_ALL);
  ASSERT_TRUE(line && line != hwnd) << "no window on the top row";

  struct Step {
    UINT dpi;
    int height;
  };
  for (const Step s : {Step{96, 2}, Step{144, 3}}) {
    SCOPED_TRACE(s.dpi);
    SetDpi(hwnd, s.dpi);
    const RECT r = InForm(line, hwnd);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, MulDiv(500, int(s.dpi), 96));
    EXPECT_EQ(r.bottom, s.height);
    EXPECT_EQ(InForm(Child(hwnd, L"PnlHead"), hwnd).top, s.height);  // the header starts right below

    struct Activation {
      WPARAM state;
      COLORREF want;
    };
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    for (const Activation a : {Activation{WA_INACTIVE, grey}, Activation{WA_CLICKACTIVE, kAccent},
                               Activation{WA_INACTIVE, grey}, Activation{WA_ACTIVE, kAccent}}) {
      SCOPED_TRACE(a.state);
      SendMessageW(hwnd, WM_ACTIVATE, a.state, 0);
      const Printed p(line);
      for (int y = 0; y < s.height; ++y) {
        EXPECT_EQ(p.At(0, y), a.want);
        EXPECT_EQ(p.At(r.right / 2, y), a.want);
        EXPECT_EQ(p.At(r.right - 1, y), a.want);
      }
    }
  }
  application.ReleaseForm();
}

class Win32StyledButtons : public testing::Test {
 protected:
  void SetUp() override {
    Vel::Theme::RegisterButtonStyles();
    form.SetBounds({0, 0, 500, 450});
    auto& bar = form.Create<ui::ToolBar>(L"BtnHead", &form);
    bar.SetBounds({10, 12, 360, 30});
    bar.SetStyle({L"Vantorel", L"Primary", L"Header", 4});
    home = &form.Create<ui::ToolButton>(L"BtnHome", &bar);
    config = &form.Create<ui::ToolButton>(L"BtnConfig", &bar);
    home->SetBounds({10, 0, 70, 30});
    config->SetBounds({80, 0, 70, 30});
    home->SetCaption(L"Home");
    config->SetCaption(L"Config");
    home->SetGroup(1);
    config->SetGroup(1);
    home->SetDown(true);
    clean = &form.Create<ui::Button>(L"BtnClean", &form);
    clean->SetBounds({168, 350, 164, 68});
    clean->SetCaption(L"Clean memory");
    clean->SetStyle({L"Vantorel", L"Primary", L"Outline", 6});
    clean->OnClick = [this](ui::Component&) { ++clicks; };
    application.CreateForm(form);
    hwnd = reinterpret_cast<HWND>(form.Handle());
    ASSERT_TRUE(hwnd);
  }
  void TearDown() override { application.ReleaseForm(); }

  static LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

  ui::win32::Win32Application application{GetModuleHandleW(nullptr)};
  ui::Form form{nullptr, L"FrmButtons", L"TQuorvaneButtonsTest"};
  ui::ToolButton* home = nullptr;
  ui::ToolButton* config = nullptr;
  ui::Button* clean = nullptr;
  HWND hwnd = nullptr;
  int clicks = 0;
};

TEST_F(Win32StyledButtons, HeaderButtonsShowDownHotAndRestingLooks) {
  HWND h = Child(hwnd, L"BtnHome"), c = Child(hwnd, L"BtnConfig");
  ASSERT_TRUE(h && c);
  // Outside tools read the down button as checked.
  EXPECT_EQ(SendMessageW(h, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(c, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  {
    const Printed down(h), rest(c);
    EXPECT_EQ(down.At(0, 15), kAccent);  // solid, no outline
    EXPECT_EQ(down.At(5, 15), kAccent);
    EXPECT_EQ(down.At(0, 0), kWhite);    // rounded corner
    EXPECT_EQ(rest.At(0, 15), kBlack);   // thin black outline on white
    EXPECT_EQ(rest.At(5, 15), kWhite);
  }
  SendMessageW(c, WM_MOUSEMOVE, 0, At(10, 10));
  EXPECT_EQ(Printed(c).At(5, 15), kAccent);
  SendMessageW(c, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Printed(c).At(5, 15), kWhite);
  // A click on the other button moves the down position; the window follows the model.
  config->OnClick = [](ui::Component& s) { static_cast<ui::ToolButton&>(s).SetDown(true); };
  SendMessageW(c, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(c, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(h, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(Printed(h).At(5, 15), kWhite);
  EXPECT_NE(GetFocus(), c);  // styled buttons never take the focus
}

TEST_F(Win32StyledButtons, CleanButtonGoesThroughItsStatesAndClicksOnlyWhenReleasedOverIt) {
  HWND b = Child(hwnd, L"BtnClean");
  ASSERT_TRUE(b);
  struct Look {
    COLORREF edge, inside;
  };
  auto look = [&] {
    const Printed p(b);
    return Look{p.At(0, 34), p.At(10, 34)};
  };
  auto expect = [&](Look want, const char* what) {
    SCOPED_TRACE(what);
    const Look got = look();
    EXPECT_EQ(got.edge, want.edge);
    EXPECT_EQ(got.inside, want.inside);
  };
  expect({kAccent, kWhite}, "at rest: accent outline on white");
  SendMessageW(b, WM_MOUSEMOVE, 0, At(20, 20));
  expect({kAccent, kLight}, "hot: light accent fill");
  SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  expect({kAccent, kAccent}, "pressed: accent fill");
  SendMessageW(b, WM_MOUSEMOVE, MK_LBUTTON, At(-30, 20));
  expect({kAccent, kWhite}, "held but moved off: at rest");
  SendMessageW(b, WM_LBUTTONUP, 0, At(-30, 20));
  EXPECT_EQ(clicks, 0);
  SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  SendMessageW(b, WM_LBUTTONUP, 0, At(20, 20));
  EXPECT_EQ(clicks, 1);
  EXPECT_NE(GetCapture(), b);

  clean->SetEnabled(false);
  expect({RGB(0xD7, 0xD7, 0xD7), kWhite}, "disabled: pale outline, no fill");
  clean->SetEnabled(true);

  // At 144 DPI the face is one and a half times as large and the outline as thick.
  SetDpi(hwnd, 144);
  RECT rc;
  GetClientRect(b, &rc);
  EXPECT_EQ(rc.right, 246);
  EXPECT_EQ(rc.bottom, 102);
  const Printed p(b);
  EXPECT_EQ(p.At(0, 51), kAccent);
  EXPECT_NE(p.At(1, 51), kAccent);  // half covered by the outline
  EXPECT_NE(p.At(1, 51), kWhite);
  EXPECT_EQ(p.At(2, 51), kWhite);
  EXPECT_EQ(p.At(0, 0), kWhite);
}

}  // namespace
