#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/styled_button.h"

namespace {

using S = ui::TStyledButtonState;

TEST(StyledButton, StateFollowsPriorityDisabledPressedSelectedHot) {
  struct Case {
    bool enabled, pressed, down, focused, hot;
    S want;
  };
  for (const Case& c : {Case{true, false, false, false, false, S::bsmNormal},
                        Case{true, false, false, false, true, S::bsmHot},
                        Case{true, false, false, true, true, S::bsmSelected},
                        Case{true, true, false, true, true, S::bsmPressed},
                        Case{true, false, true, false, true, S::bsmPressed},  // the current page's button
                        Case{false, true, true, true, true, S::bsmDisabled}}) {
    EXPECT_EQ(ui::ChooseButtonState(c.enabled, c.pressed, c.down, c.focused, c.hot), c.want);
  }
}

class RecordingPeer final : public ui::ControlPeer {
 public:
  void Changed(ui::Control& c, ui::Prop what) override { seen.push_back({&c, what}); }
  std::vector<std::pair<ui::Control*, ui::Prop>> seen;
};

TEST(StyledButton, ToolButtonsWearTheirToolbarsStyle) {
  ui::Form form(nullptr, L"F", L"C");
  auto& bar = form.Create<ui::ToolBar>(L"BtnHead", &form);
  auto& home = form.Create<ui::ToolButton>(L"BtnHome", &bar);
  auto& loose = form.Create<ui::ToolButton>(L"BtnLoose", &form);
  RecordingPeer peer;
  bar.AttachPeer(&peer);
  const ui::ButtonStyle header{L"Vantorel", L"Primary", L"Header", 4};
  bar.SetStyle(header);
  bar.SetStyle(header);
  EXPECT_EQ(home.Style(), header);
  EXPECT_EQ(loose.Style(), ui::ButtonStyle{});
  EXPECT_EQ(loose.Style().Radius, 6);  // the toolkit's default corner
  ASSERT_EQ(peer.seen.size(), 1u);     // an unchanged style is not news
  EXPECT_EQ(peer.seen[0].second, ui::Prop::Style);
}

// Answers every state with a fill that names the family instance, so lookups can be told apart.
class MarkFamily final : public ui::TButtonStyleFamily {
 public:
  MarkFamily(std::wstring name, ui::Color mark) : name_(std::move(name)), mark_(mark) {}
  std::wstring FamilyName() const override { return name_; }
  const ui::TButtonClasses& ClassNames() const override { return none_; }
  const ui::TButtonAppearances& AppearanceNames() const override { return none_; }
  void DefaultStyle(int, std::wstring&, std::wstring&) const override {}
  void UpdateStateAttributes(std::wstring_view, std::wstring_view, std::wstring_view,
                             ui::TStyledButtonAttributes& normal, ui::TStyledButtonAttributes& pressed,
                             ui::TStyledButtonAttributes& selected, ui::TStyledButtonAttributes& hot,
                             ui::TStyledButtonAttributes& disabled) const override {
    int i = 0;
    for (auto* a : {&normal, &pressed, &selected, &hot, &disabled}) a->ButtonColor = mark_ + i++;
  }

 private:
  std::wstring name_;
  ui::Color mark_;
  std::vector<std::wstring> none_;
};

TEST(StyledButton, FamiliesAreFoundByNameFirstOneWinsUnknownGetsThePlainLook) {
  ui::RegisterButtonFamily(std::make_shared<MarkFamily>(L"Marked", 0x100));
  ui::RegisterButtonFamily(std::make_shared<MarkFamily>(L"MARKED", 0x200));
  const ui::ButtonStyle marked{L"marked", L"", L"", 6};
  EXPECT_EQ(ui::ButtonAttributes(marked, S::bsmNormal).ButtonColor, 0x100);
  EXPECT_EQ(ui::ButtonAttributes(marked, S::bsmHot).ButtonColor, 0x103);
  EXPECT_EQ(ui::ButtonAttributes(marked, S::bsmDisabled).ButtonColor, 0x104);
  // Nobody answers for this family: still a distinct look per state, never a blank face.
  const ui::ButtonStyle unknown{L"NoSuchFamily", L"", L"", 6};
  EXPECT_EQ(ui::FindButtonFamily(L"NoSuchFamily"), nullptr);
  const auto normal = ui::ButtonAttributes(unknown, S::bsmNormal);
  EXPECT_EQ(normal.ButtonDrawStyle, ui::TBtnDrawStyle::btnSolid);
  EXPECT_NE(normal.ButtonColor, ui::ButtonAttributes(unknown, S::bsmHot).ButtonColor);
  EXPECT_NE(normal.FontColor, ui::ButtonAttributes(unknown, S::bsmDisabled).FontColor);
}

// ---------------------------------------------------------------------------------------------

ui::TStyledButtonAttributes Face(ui::TBtnDrawStyle fill, ui::TBorderDrawStyle border,
                                 ui::TStyledButtonDrawType shape = ui::TStyledButtonDrawType::btRoundRect) {
  ui::TStyledButtonAttributes a;
  a.DrawType = shape;
  a.ButtonDrawStyle = fill;
  a.ButtonColor = 0x3D84DD;
  a.BorderDrawStyle = border;
  a.BorderColor = 0x000000;
  a.BorderWidth = 0;
  return a;
}

constexpr std::uint32_t kBack = 0xFFFFFF;

TEST(StyledButton, FaceIsFilledOutlinedAndRoundedAtEveryScale) {
  using ui::TBorderDrawStyle;
  using ui::TBtnDrawStyle;
  struct Probe {
    int x, y;
    std::uint32_t want;  // exact colour; 1 means "a blend, neither pure colour nor background"
  };
  struct Case {
    const char* what;
    ui::TStyledButtonAttributes look;
    int w, h;
    double scale;
    int radius;
    std::vector<Probe> probes;
  };
  const std::vector<Case> cases = {
      {"outline and fill at 96 DPI: crisp one-pixel edge, round corner",
       Face(TBtnDrawStyle::btnSolid, TBorderDrawStyle::brdSolid),
       70, 30, 1.0, 4, {{0, 15, 0x000000}, {1, 15, 0x3D84DD}, {35, 0, 0x000000}, {69, 15, 0x000000},
                        {35, 29, 0x000000}, {35, 15, 0x3D84DD}, {0, 0, kBack}, {1, 1, 1}}},
      {"outline only: the inside is the background", Face(TBtnDrawStyle::btnClear, TBorderDrawStyle::brdSolid),
       164, 68, 1.0, 6, {{0, 34, 0x000000}, {82, 34, kBack}, {1, 34, kBack}, {0, 0, kBack}}},
      {"fill only: no outline colour anywhere", Face(TBtnDrawStyle::btnSolid, TBorderDrawStyle::brdClear),
       70, 30, 1.0, 4, {{0, 15, 0x3D84DD}, {35, 0, 0x3D84DD}, {0, 0, kBack}}},
      {"at 144 DPI the one-pixel outline is one and a half", Face(TBtnDrawStyle::btnSolid, TBorderDrawStyle::brdSolid),
       105, 45, 1.5, 4, {{0, 22, 0x000000}, {1, 22, 1}, {2, 22, 0x3D84DD}, {52, 22, 0x3D84DD}, {0, 0, kBack}}},
      {"a plain rectangle fills its corners", Face(TBtnDrawStyle::btnSolid, TBorderDrawStyle::brdSolid,
                                                    ui::TStyledButtonDrawType::btRect),
       20, 10, 1.0, 4, {{0, 0, 0x000000}, {19, 9, 0x000000}, {1, 1, 0x3D84DD}}},
      {"an ellipse leaves its corners and touches its sides", Face(TBtnDrawStyle::btnSolid, TBorderDrawStyle::brdClear,
                                                                    ui::TStyledButtonDrawType::btEllipse),
       40, 20, 1.0, 0, {{0, 0, kBack}, {39, 19, kBack}, {20, 10, 0x3D84DD}, {20, 1, 0x3D84DD}, {1, 10, 0x3D84DD}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto px = ui::RenderButtonFace(c.w, c.h, c.scale, c.radius, c.look, kBack);
    ASSERT_EQ(px.size(), std::size_t(c.w * c.h));
    for (const Probe& p : c.probes) {
      SCOPED_TRACE(testing::Message() << "pixel " << p.x << "," << p.y);
      const std::uint32_t got = px[std::size_t(p.y * c.w + p.x)];
      if (p.want == 1) {
        EXPECT_NE(got, 0x000000u);
        EXPECT_NE(got, 0x3D84DDu);
        EXPECT_NE(got, kBack);
      } else {
        EXPECT_EQ(got, p.want) << std::hex << got;
      }
    }
  }
}

}  // namespace
