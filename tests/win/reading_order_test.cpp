// Arabic reads right to left: on the real main window its texts take that reading order, as do
// the quit question, the tray menu and the update prompt's notice strip, and nothing moves.
// Other languages keep everything as it was.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/main.h"
#include "app/services_win32.h"
#include "tests/unit/fakes.h"
#include "theme/theme.h"
#include "translate/translate.h"
#include "ui/win32/win32_ui.h"
#include "update/prompt_win32.h"
#include "pump.h"
#include "real_services.h"

namespace {

std::wstring NameOf(HWND h) {
  wchar_t name[64] = {};
  if (ATOM a = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(h, ui::win32::kNameProp)))) GlobalGetAtomNameW(a, name, 64);
  return name;
}

struct Seen {
  std::wstring cls;
  DWORD exStyle;
  RECT rect;  // in the top window's client
};

// Every child window of `top` by its name; one without a name (a group box's frame) by its
// parent's and its class.
struct Windows {
  HWND top;
  std::map<std::wstring, Seen> byName;

  static BOOL CALLBACK Add(HWND h, LPARAM lp) {
    auto* self = reinterpret_cast<Windows*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    std::wstring name = NameOf(h);
    if (name.empty()) name = NameOf(GetParent(h)) + L"/" + cls;
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, self->top, reinterpret_cast<POINT*>(&r), 2);
    self->byName[name] = {cls, DWORD(GetWindowLongW(h, GWL_EXSTYLE)), r};
    return TRUE;
  }
  explicit Windows(HWND window) : top(window) { EnumChildWindows(top, Add, reinterpret_cast<LPARAM>(this)); }
};

// The windows whose text the system draws, or we draw, in the window's reading order.
bool ShowsText(const std::wstring& cls) {
  return lstrcmpiW(cls.c_str(), L"Static") == 0 || lstrcmpiW(cls.c_str(), L"Button") == 0 ||
         lstrcmpiW(cls.c_str(), STATUSCLASSNAMEW) == 0;
}

// Stand-ins for the system's message box and menu: what they were given.
struct Popups {
  static inline std::vector<UINT> boxTypes, menuFlags, itemTypes;
  static int WINAPI Box(HWND, LPCWSTR, LPCWSTR, UINT type) {
    boxTypes.push_back(type);
    return IDNO;
  }
  static BOOL WINAPI Track(HMENU menu, UINT flags, int, int, int, HWND, const RECT*) {
    menuFlags.push_back(flags);
    itemTypes.clear();
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
      MENUITEMINFOW mii{};
      mii.cbSize = sizeof mii;
      mii.fMask = MIIM_FTYPE;
      GetMenuItemInfoW(menu, UINT(i), TRUE, &mii);
      itemTypes.push_back(mii.fType);
    }
    return FALSE;  // dismissed
  }
};

// Real translations; the rest of the world stays fake.
class Services final : public fakes::Services {
 public:
  explicit Services(ui::Application& app) : real_(app) {}
  void TranslateComponent(ui::Component& root) override { real_.TranslateComponent(root); }
  std::wstring Translate(const std::wstring& text) override { return real_.Translate(text); }

 private:
  app::Win32MainServices real_;
};

class Win32ReadingOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    Vel::Theme::RegisterButtonStyles();
    Vel::Translate::Startup();
    saved_ = ui::win32::SystemPopupsSeam();
    ui::win32::SystemPopupsSeam() = {Popups::Box, Popups::Track};
  }
  void TearDown() override {
    ui::win32::SystemPopupsSeam() = saved_;
    Vel::Translate::Shutdown();
  }
  ui::win32::SystemPopups saved_;
};

TEST_F(Win32ReadingOrder, ArabicTextsReadRightToLeftAndNothingMoves) {
  struct Case {
    const wchar_t* language;
    bool rtl;
  } const cases[] = {{L"ko", false}, {L"en", false}, {L"ar", true}, {L"ja", false}};
  std::map<std::wstring, Seen> first;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "language " << char(c.language[0]) << char(c.language[1]));
    Popups::boxTypes.clear();
    Popups::menuFlags.clear();
    // As at the program's start: the language first, the application told of it, then the window.
    Vel::Translate::TranslateComponent(nullptr, c.language);
    real::MainWindow<Services> window;
    ui::Application& app = window.App();
    app::TFrmQuorvane& form = window.form;
    app.RightToLeftReading = Vel::Translate::ReadsRightToLeft();
    EXPECT_EQ(app.RightToLeftReading, c.rtl);
    HWND hwnd = window.Create();
    ASSERT_TRUE(hwnd);
    Vel::Update::Win32UpdatePrompt(app, c.language, L"Quorvane")->ShowUpdateStatus(L"https://a.test/notice");
    form.SetVisible(true);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_INVALIDATE);
    // The settings page, made after the first paint.
    ASSERT_TRUE(pump::Until([&] { return Windows(hwnd).byName.count(L"EditInfo") != 0; }));

    const Windows windows(hwnd);
    for (const wchar_t* name : {L"LblPhys", L"LblPhysStatus", L"BtnClean", L"BtnHome", L"ChkAutoStart",
                                L"GroupBox1/Button", L"StatusBar"}) {
      ASSERT_TRUE(windows.byName.count(name)) << "no window " << testing::PrintToString(std::wstring(name));
      EXPECT_TRUE(ShowsText(windows.byName.at(name).cls)) << testing::PrintToString(std::wstring(name));
    }
    for (const auto& [name, w] : windows.byName) {
      SCOPED_TRACE(testing::PrintToString(name));
      EXPECT_EQ((w.exStyle & WS_EX_RTLREADING) != 0, c.rtl && ShowsText(w.cls));
      EXPECT_EQ(w.exStyle & WS_EX_LAYOUTRTL, 0u);
    }
    EXPECT_EQ(DWORD(GetWindowLongW(hwnd, GWL_EXSTYLE)) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING), 0u);
    // The same windows in the same places in every language.
    if (first.empty()) first = windows.byName;
    ASSERT_EQ(windows.byName.size(), first.size());
    for (const auto& [name, w] : first) {
      ASSERT_TRUE(windows.byName.count(name)) << testing::PrintToString(name);
      const RECT& r = windows.byName.at(name).rect;
      EXPECT_TRUE(EqualRect(&r, &w.rect)) << testing::PrintToString(name);
    }

    // The tray menu, and its quit item's question answered No.
    SendMessageW(hwnd, ui::win32::kTrayMessage, 1, WM_RBUTTONUP);
    ASSERT_EQ(Popups::menuFlags.size(), 1u);
    EXPECT_EQ(Popups::menuFlags[0], UINT(TPM_RIGHTBUTTON | (c.rtl ? TPM_LAYOUTRTL : 0)));
    const UINT text = c.rtl ? UINT(MFT_RIGHTORDER) : UINT(MFT_STRING);
    EXPECT_EQ(Popups::itemTypes, (std::vector<UINT>{text, UINT(MFT_SEPARATOR), text, text}));
    SendMessageW(hwnd, WM_COMMAND, app::kCmdClose, 0);
    ASSERT_EQ(Popups::boxTypes.size(), 1u);
    EXPECT_EQ(Popups::boxTypes[0], app::kQuitQuestionStyle | (c.rtl ? MB_RTLREADING | MB_RIGHT : 0u));
    EXPECT_FALSE(form.Closed());
  }
}

// Looks at the update prompt from within its own loop, then answers No.
struct PromptLook {
  static inline std::map<std::wstring, Seen> seen;
  static BOOL CALLBACK Find(HWND h, LPARAM lp) {
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(h)) return TRUE;
    *reinterpret_cast<HWND*>(lp) = h;
    return FALSE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Find, reinterpret_cast<LPARAM>(&dlg));
    if (!dlg || !seen.empty()) return;
    seen = Windows(dlg).byName;
    PostMessageW(dlg, WM_COMMAND, IDNO, 0);
  }
};

TEST(Win32ReadingOrderPrompt, OnlyTheServicesTextReadsRightToLeftWhereThePromptSpeaksEnglish) {
  // The prompt has no Arabic texts of its own: its message and buttons are the English ones and
  // keep their reading order; the strip's text comes from the service, in the user's language.
  struct Case {
    const wchar_t* language;
    bool rtl;
    const wchar_t *style, *strip;
  } const cases[] = {
      {L"en", false, L"hold", L"CheckBox"},
      {L"ar", true, L"hold", L"CheckBox"},
      {L"en", false, L"note", L"Label"},
      {L"ar", true, L"note", L"Label"},
  };
  std::map<std::wstring, std::map<std::wstring, Seen>> english;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << char(c.language[0]) << char(c.language[1]) << " "
                                    << testing::PrintToString(std::wstring(c.style)));
    ui::win32::Win32Application application(GetModuleHandleW(nullptr));
    application.App().RightToLeftReading = c.rtl;
    Vel::Update::TUpdateAnswer answer;
    answer.Update = L"https://a.test/setup.exe";
    answer.Info.Style = c.style;
    answer.Info.Text = L"\u0630\u0643\u0631\u0646\u064A \u0644\u0627\u062D\u0642\u064B\u0627 (%)";
    answer.Info.Url = L"https://a.test/more";
    PromptLook::seen.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &PromptLook::Tick);
    const bool yes = Vel::Update::Win32UpdatePrompt(application.App(), c.language, L"Quorvane")
                         ->UpdateDialog(L"", answer);
    KillTimer(nullptr, timer);
    EXPECT_FALSE(yes);
    const auto& seen = PromptLook::seen;
    for (const wchar_t* name : {L"Message", L"Yes", L"No", c.strip}) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
      ASSERT_TRUE(seen.count(name));
      const bool strip = name == c.strip;
      EXPECT_EQ((seen.at(name).exStyle & WS_EX_RTLREADING) != 0, c.rtl && strip);
      EXPECT_EQ(seen.at(name).exStyle & WS_EX_LAYOUTRTL, 0u);
      if (c.rtl) {
        const RECT& r = seen.at(name).rect;
        EXPECT_TRUE(EqualRect(&r, &english.at(c.style).at(name).rect));
      }
    }
    if (!c.rtl) english[c.style] = seen;
  }
}

}  // namespace
