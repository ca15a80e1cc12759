#include "theme/theme.h"

#include <memory>

namespace Vel::Theme {

namespace {

constexpr ui::Color kWhite = 0xFFFFFF;
constexpr ui::Color kBlack = 0x000000;
constexpr ui::Color kSilver = 0xC0C0C0;

int Red(ui::Color c) { return (c >> 16) & 0xFF; }
int Green(ui::Color c) { return (c >> 8) & 0xFF; }
int Blue(ui::Color c) { return c & 0xFF; }
ui::Color Rgb(int r, int g, int b) { return ui::Color(r << 16 | g << 8 | b); }

}  // namespace

ui::Color TintTowardWhite(ui::Color rgb, int percent) {
  // (255 - x) * p / 100 rounded half away from zero, as a multiply-divide does.
  auto tint = [percent](int x) {
    const int n = (255 - x) * percent;
    return x + (n >= 0 ? (n + 50) / 100 : -((-n + 50) / 100));
  };
  return Rgb(tint(Red(rgb)), tint(Green(rgb)), tint(Blue(rgb)));
}

ui::Color LumaGray(ui::Color rgb) {
  // In thousandths, so that the weights are exact and a tie is a tie.
  const int n = 299 * Red(rgb) + 587 * Green(rgb) + 114 * Blue(rgb);
  int v = n / 1000;
  const int rest = n % 1000;
  if (rest > 500 || (rest == 500 && v % 2 == 1)) ++v;
  return Rgb(v, v, v);
}

TVantorelButtonStyles::TVantorelButtonStyles()
    : classes_{L"Primary"}, appearances_{L"Normal", L"Header", L"Outline"} {}

void TVantorelButtonStyles::DefaultStyle(int, std::wstring& buttonClass, std::wstring& appearance) const {
  buttonClass = L"Primary";
  appearance = L"Normal";
}

void TVantorelButtonStyles::UpdateStateAttributes(std::wstring_view, std::wstring_view, std::wstring_view appearance,
                                                  ui::TStyledButtonAttributes& normal,
                                                  ui::TStyledButtonAttributes& pressed,
                                                  ui::TStyledButtonAttributes& selected,
                                                  ui::TStyledButtonAttributes& hot,
                                                  ui::TStyledButtonAttributes& disabled) const {
  using ui::TBorderDrawStyle;
  using ui::TBtnDrawStyle;
  const bool header = ui::SameText(appearance, L"Header");
  const bool outline = ui::SameText(appearance, L"Outline");
  const ui::Color light = TintTowardWhite(kAccentColor, 10);

  normal.DrawType = ui::TStyledButtonDrawType::btRoundRect;
  normal.BorderDrawStyle = TBorderDrawStyle::brdSolid;
  normal.BorderWidth = 0;
  normal.FontStyle = 0;
  if (outline) {
    normal.ButtonDrawStyle = TBtnDrawStyle::btnClear;
    normal.ButtonColor = kAccentColor;
    normal.BorderColor = kAccentColor;
    normal.FontColor = kBlack;
  } else if (header) {
    normal.ButtonDrawStyle = TBtnDrawStyle::btnClear;
    normal.ButtonColor = kWhite;
    normal.BorderColor = kBlack;
    normal.FontColor = kBlack;
  } else {
    normal.ButtonDrawStyle = TBtnDrawStyle::btnSolid;
    normal.ButtonColor = kAccentColor;
    normal.BorderColor = kAccentColor;
    normal.FontColor = kWhite;
  }
  pressed = selected = hot = disabled = normal;

  if (outline) {
    pressed.ButtonDrawStyle = TBtnDrawStyle::btnSolid;
    pressed.FontColor = kWhite;
    for (ui::TStyledButtonAttributes* a : {&hot, &selected}) {
      a->ButtonDrawStyle = TBtnDrawStyle::btnSolid;
      a->ButtonColor = light;
      a->FontColor = kWhite;
    }
    disabled.BorderColor = LumaGray(TintTowardWhite(kAccentColor, 70));
    disabled.FontColor = LumaGray(TintTowardWhite(kBlack, 70));
  } else if (header) {
    for (ui::TStyledButtonAttributes* a : {&pressed, &hot, &selected}) {
      a->ButtonDrawStyle = TBtnDrawStyle::btnSolid;
      a->BorderDrawStyle = TBorderDrawStyle::brdClear;
      a->ButtonColor = kAccentColor;
      a->BorderColor = kAccentColor;
      a->FontColor = kWhite;
    }
    selected.ButtonColor = light;
    disabled.BorderColor = LumaGray(TintTowardWhite(kAccentColor, 50));
    disabled.FontColor = LumaGray(TintTowardWhite(kBlack, 50));
  } else {
    hot.ButtonColor = light;
    disabled.ButtonColor = kWhite;
    disabled.BorderColor = kSilver;
    disabled.FontColor = kSilver;
  }
}

void RegisterButtonStyles() {
  static const bool registered = [] {
    ui::RegisterButtonFamily(std::make_shared<TVantorelButtonStyles>());
    return true;
  }();
  (void)registered;
}

TThemeHelper::TThemeHelper(ui::Component* owner, std::wstring name, ThemePlatform& platform)
    : ui::Component(owner, std::move(name)), FPlatform(platform) {
  auto* form = dynamic_cast<ui::Form*>(owner);
  if (!form) throw EOwnerNotForm();
  FForm = form;
  FActiveColor = kAccentColor;
  FIsActive = true;
  if (form->Handle()) platform.UseDarkFrame(form->Handle());
  FShape = &form->Create<ui::Shape>(L"", form);
  FShape->SetBounds({0, 0, form->ClientWidth(), 2});
  FShape->SetBrushColor(FActiveColor);
  FShape->SetPenColor(FActiveColor);
  FOldWindowProc = std::move(form->OnMessage);
  form->OnMessage = [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
    return WindowProc(msg, wParam, lParam, result);
  };
  Refresh();
}

TThemeHelper::~TThemeHelper() {
  // A form that is itself going has already dropped its handler; there is nothing to put back.
  if (FForm && !FForm->Destroying()) FForm->OnMessage = std::move(FOldWindowProc);
}

bool TThemeHelper::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
  if (msg == kWmSize) {
    Refresh();
  } else if (msg == kWmActivate) {
    // Inactive is 0; both a plain and a click activation count as active.
    FIsActive = (wParam & 0xFFFF) != 0;
    Refresh();
  } else if ((msg == kWmSettingChange || msg == kWmSysColorChange) && FForm->Handle()) {
    // High contrast may have come or gone: the frame follows.
    FPlatform.UseDarkFrame(FForm->Handle());
  }
  return FOldWindowProc && FOldWindowProc(msg, wParam, lParam, result);
}

void TThemeHelper::Refresh() {
  const ui::Color color = FIsActive ? FActiveColor : ui::SystemColor(kColorGrayText);
  FShape->SetBrushColor(color);
  FShape->SetPenColor(color);
  // Docked to the top: always the form's full width.
  FShape->SetBounds({0, 0, FForm->ClientWidth(), 2});
  FShape->SetVisible(FForm->Border() != ui::BorderStyle::None);
}

}  // namespace Vel::Theme
