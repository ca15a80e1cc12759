#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "theme/theme.h"
#include "ui/form.h"
#include "ui/styled_button.h"

namespace {

using Vel::Theme::LumaGray;
using Vel::Theme::TintTowardWhite;
using ui::TBorderDrawStyle;
using ui::TBtnDrawStyle;
using ui::TStyledButtonAttributes;

TEST(ThemeColors, TintAndLumaGiveTheFamilysDerivedColours) {
  struct Case {
    ui::Color from;
    int percent;
    ui::Color tint, gray;
  };
  for (const Case& c : {
           Case{0x3D84DD, 10, 0x5090E0, -1},
           Case{0x3D84DD, 70, 0xC5DAF5, 0xD7D7D7},
           Case{0x3D84DD, 50, 0x9EC2EE, 0xBCBCBC},
           Case{0x000000, 70, 0xB3B3B3, 0xB3B3B3},
           Case{0x000000, 50, 0x808080, 0x808080},  // 127.5 rounds up
           Case{0xFFFFFF, 50, 0xFFFFFF, 0xFFFFFF},
           Case{0x123456, 0, 0x123456, -1},
           Case{0x000000, 100, 0xFFFFFF, -1},
       }) {
    SCOPED_TRACE(testing::Message() << std::hex << c.from << " " << std::dec << c.percent);
    EXPECT_EQ(TintTowardWhite(c.from, c.percent), c.tint);
    if (c.gray >= 0) {
      EXPECT_EQ(LumaGray(c.tint), c.gray);
    }
  }
}

TEST(ThemeColors, LumaRoundsTiesToEven) {
  struct Case {
    ui::Color from, gray;
  };
  for (const Case& c : {Case{0x0000FA, 0x1C1C1C},    // 28.5 -> 28
                        Case{0x1E0091, 0x1A1A1A},    // 25.5 -> 26
                        Case{0x02002B, 0x060606},    // 5.5 -> 6
                        Case{0x0C0008, 0x040404},    // 4.5 -> 4
                        Case{0x050000, 0x010101},    // 1.495 -> 1
                        Case{0x505050, 0x505050}}) {  // a grey stays itself
    SCOPED_TRACE(testing::Message() << std::hex << c.from);
    EXPECT_EQ(LumaGray(c.from), c.gray);
  }
}

struct Look {
  TBtnDrawStyle fill;
  ui::Color fillColor;
  TBorderDrawStyle border;
  ui::Color borderColor;
  ui::Color caption;
};

constexpr auto kSolid = TBtnDrawStyle::btnSolid;
constexpr auto kClear = TBtnDrawStyle::btnClear;
constexpr auto kLine = TBorderDrawStyle::brdSolid;
constexpr auto kNoLine = TBorderDrawStyle::brdClear;

// Normal, pressed, selected, hot, disabled.
const Look kNormalLooks[5] = {{kSolid, 0x3D84DD, kLine, 0x3D84DD, 0xFFFFFF},
                              {kSolid, 0x3D84DD, kLine, 0x3D84DD, 0xFFFFFF},
                              {kSolid, 0x3D84DD, kLine, 0x3D84DD, 0xFFFFFF},
                              {kSolid, 0x5090E0, kLine, 0x3D84DD, 0xFFFFFF},
                              {kSolid, 0xFFFFFF, kLine, 0xC0C0C0, 0xC0C0C0}};
const Look kHeaderLooks[5] = {{kClear, 0xFFFFFF, kLine, 0x000000, 0x000000},
                              {kSolid, 0x3D84DD, kNoLine, 0x3D84DD, 0xFFFFFF},
                              {kSolid, 0x5090E0, kNoLine, 0x3D84DD, 0xFFFFFF},
                              {kSolid, 0x3D84DD, kNoLine, 0x3D84DD, 0xFFFFFF},
                              {kClear, 0xFFFFFF, kLine, 0xBCBCBC, 0x808080}};
const Look kOutlineLooks[5] = {{kClear, 0x3D84DD, kLine, 0x3D84DD, 0x000000},
                               {kSolid, 0x3D84DD, kLine, 0x3D84DD, 0xFFFFFF},
                               {kSolid, 0x5090E0, kLine, 0x3D84DD, 0xFFFFFF},
                               {kSolid, 0x5090E0, kLine, 0x3D84DD, 0xFFFFFF},
                               {kClear, 0x3D84DD, kLine, 0xD7D7D7, 0xB3B3B3}};

TEST(VantorelButtonStyles, EachAppearanceGivesItsFiveLooks) {
  struct Case {
    const wchar_t* appearance;
    const Look* looks;
  };
  const Vel::Theme::TVantorelButtonStyles family;
  for (const Case& c : {Case{L"Normal", kNormalLooks}, Case{L"Header", kHeaderLooks}, Case{L"header", kHeaderLooks},
                        Case{L"Outline", kOutlineLooks}, Case{L"OUTLINE", kOutlineLooks},
                        Case{L"Other", kNormalLooks}, Case{L"", kNormalLooks}}) {
    // Records that are not fresh must come out the same: every field is set.
    std::vector<TStyledButtonAttributes> got(5);
    for (auto& a : got) {
      a.DrawType = ui::TStyledButtonDrawType::btEllipse;
      a.BorderWidth = 7;
      a.FontStyle = ui::fsBold | ui::fsItalic;
    }
    // Family and class names do not matter.
    family.UpdateStateAttributes(L"Elsewhere", L"NoSuchClass", c.appearance, got[0], got[1], got[2], got[3], got[4]);
    for (int s = 0; s < 5; ++s) {
      SCOPED_TRACE(testing::Message() << "appearance '" << c.appearance << "' state " << s);
      const Look& want = c.looks[s];
      EXPECT_EQ(got[s].ButtonDrawStyle, want.fill);
      EXPECT_EQ(got[s].ButtonColor, want.fillColor);
      EXPECT_EQ(got[s].BorderDrawStyle, want.border);
      EXPECT_EQ(got[s].BorderColor, want.borderColor);
      EXPECT_EQ(got[s].FontColor, want.caption);
      EXPECT_EQ(got[s].DrawType, ui::TStyledButtonDrawType::btRoundRect);
      EXPECT_EQ(got[s].BorderWidth, 0);
      EXPECT_EQ(got[s].FontStyle, 0u);
    }
  }
}

TEST(VantorelButtonStyles, NamesItsClassesAndAppearancesAndIsFoundByNameOnceRegistered) {
  const Vel::Theme::TVantorelButtonStyles family;
  EXPECT_EQ(family.FamilyName(), L"Vantorel");
  EXPECT_EQ(family.ClassNames(), ui::TButtonClasses{L"Primary"});
  EXPECT_EQ(family.AppearanceNames(), (ui::TButtonAppearances{L"Normal", L"Header", L"Outline"}));
  std::wstring cls, appearance;
  family.DefaultStyle(1, cls, appearance);
  EXPECT_EQ(cls, L"Primary");
  EXPECT_EQ(appearance, L"Normal");

  Vel::Theme::RegisterButtonStyles();
  const ui::TButtonStyleFamily* found = ui::FindButtonFamily(L"VANTOREL");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->FamilyName(), L"Vantorel");
  // Registering again changes nothing; the clean button at rest gets its outline look.
  Vel::Theme::RegisterButtonStyles();
  EXPECT_EQ(ui::FindButtonFamily(L"vantorel"), found);
  const auto rest = ui::ButtonAttributes({L"Vantorel", L"Primary", L"Outline", 6}, ui::TStyledButtonState::bsmNormal);
  EXPECT_EQ(rest.BorderColor, 0x3D84DD);
  EXPECT_EQ(rest.ButtonDrawStyle, kClear);
}

// ---------------------------------------------------------------------------------------------

class RecordingThemePlatform final : public Vel::Theme::ThemePlatform {
 public:
  void UseDarkFrame(ui::NativeHandle window) override { darkFrames.push_back(window); }
  std::vector<ui::NativeHandle> darkFrames;
};

struct Received {
  unsigned msg;
  std::uintptr_t wParam;
};

class ThemeHelperTest : public testing::Test {
 protected:
  ThemeHelperTest() {
    form.SetBounds({0, 0, 500, 450});
    form.SetHandle(0x1234);
    // The window's own handling: answers message 0x400 with 42, leaves the rest unhandled.
    form.OnMessage = [this](unsigned msg, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
      received.push_back({msg, wParam});
      if (msg != 0x400) return false;
      result = 42;
      return true;
    };
  }
  std::intptr_t Send(unsigned msg, std::uintptr_t wParam) {
    std::intptr_t result = -1;
    form.HandleMessage(msg, wParam, 0, result);
    return result;
  }

  ui::Form form{nullptr, L"FrmTest", L"TFrmTest"};
  RecordingThemePlatform platform;
  std::vector<Received> received;
};

constexpr ui::Color kGrey = ui::SystemColor(Vel::Theme::kColorGrayText);

TEST_F(ThemeHelperTest, RefusesAnOwnerThatIsNotAForm) {
  auto& panel = form.Create<ui::Panel>(L"PnlHead", &form);
  const auto before = form.Components().size();
  try {
    panel.Create<Vel::Theme::TThemeHelper>(L"", platform);
    FAIL() << "a panel was accepted";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "TThemeHelper Owner must be a TForm");
  }
  EXPECT_EQ(form.Components().size(), before);
  EXPECT_TRUE(panel.Components().empty());
  EXPECT_TRUE(platform.darkFrames.empty());
  EXPECT_EQ(Send(0x400, 0), 42);  // the window's handler is untouched
}

TEST_F(ThemeHelperTest, DarkensTheFrameAndLaysAnAccentLineAcrossTheTop) {
  auto& helper = form.Create<Vel::Theme::TThemeHelper>(L"", platform);
  EXPECT_EQ(platform.darkFrames, std::vector<ui::NativeHandle>{0x1234});
  // A settings or colour change (high contrast on or off) asks for the frame again.
  Send(Vel::Theme::kWmSettingChange, 0);
  Send(Vel::Theme::kWmSysColorChange, 0);
  EXPECT_EQ(platform.darkFrames, (std::vector<ui::NativeHandle>{0x1234, 0x1234, 0x1234}));
  ui::Shape& line = helper.Line();
  EXPECT_EQ(line.Parent(), &form);
  EXPECT_EQ(line.Owner(), &form);
  EXPECT_EQ(line.Bounds(), (ui::Rect{0, 0, 500, 2}));
  EXPECT_EQ(line.BrushColor(), Vel::Theme::kAccentColor);
  EXPECT_EQ(line.PenColor(), Vel::Theme::kAccentColor);
  EXPECT_TRUE(line.Visible());
  EXPECT_TRUE(helper.IsActive());
}

TEST_F(ThemeHelperTest, ActivationTurnsTheLineGreyAndBackWhileEveryMessageReachesTheWindow) {
  auto& helper = form.Create<Vel::Theme::TThemeHelper>(L"", platform);
  struct Step {
    std::uintptr_t wParam;  // WM_ACTIVATE's: state in the low word, minimized flag above
    ui::Color color;
  };
  // Inactive, click-activated, inactive, activated, inactive while minimized.
  for (const Step& s : {Step{0, kGrey}, Step{2, 0x3D84DD}, Step{0, kGrey}, Step{1, 0x3D84DD}, Step{0x10000, kGrey}}) {
    SCOPED_TRACE(s.wParam);
    received.clear();
    EXPECT_EQ(Send(Vel::Theme::kWmActivate, s.wParam), -1);  // unhandled stays unhandled
    EXPECT_EQ(helper.Line().BrushColor(), s.color);
    EXPECT_EQ(helper.Line().PenColor(), s.color);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].msg, Vel::Theme::kWmActivate);
    EXPECT_EQ(received[0].wParam, s.wParam);
  }
  EXPECT_EQ(Send(0x400, 0), 42);  // an answer of the window comes back through the helper
}

TEST_F(ThemeHelperTest, ABorderlessWindowShowsNoLineUntilItHasABorderAndIsResized) {
  auto& helper = form.Create<Vel::Theme::TThemeHelper>(L"", platform);
  form.SetBorder(ui::BorderStyle::None);
  Send(Vel::Theme::kWmSize, 0);
  EXPECT_FALSE(helper.Line().Visible());
  form.SetBorder(ui::BorderStyle::Single);
  EXPECT_FALSE(helper.Line().Visible());
  Send(Vel::Theme::kWmSize, 0);
  EXPECT_TRUE(helper.Line().Visible());
  EXPECT_EQ(helper.Line().Bounds().Width, 500);
}

TEST_F(ThemeHelperTest, OnceFreedActivationNoLongerChangesTheLine) {
  auto& helper = form.Create<Vel::Theme::TThemeHelper>(L"", platform);
  ui::Shape& line = helper.Line();
  form.FreeComponent(helper);
  EXPECT_EQ(form.FindComponent(L""), &line);  // the line stays with the window
  received.clear();
  Send(Vel::Theme::kWmActivate, 0);
  EXPECT_EQ(line.BrushColor(), Vel::Theme::kAccentColor);
  ASSERT_EQ(received.size(), 1u);  // the window's own handler is back in place
  EXPECT_EQ(Send(0x400, 0), 42);
  Send(Vel::Theme::kWmSettingChange, 0);
  EXPECT_EQ(platform.darkFrames.size(), 1u);  // nor the frame
}

TEST(ThemeHelper, GoesWithItsForm) {
  RecordingThemePlatform platform;
  auto form = std::make_unique<ui::Form>(nullptr, L"FrmTest", L"TFrmTest");
  form->OnMessage = [](unsigned, std::uintptr_t, std::intptr_t, std::intptr_t&) { return false; };
  form->Create<Vel::Theme::TThemeHelper>(L"", platform);
  EXPECT_TRUE(platform.darkFrames.empty());  // no window yet, nothing to ask the window manager about
  form.reset();                              // the sanitizers see any touch of the gone form
}

}  // namespace
