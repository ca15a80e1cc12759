// Vel.Theme: the program's look. The accent line along the top of a window with its dark
// frame, and the "Vantorel" family of button looks.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "ui/form.h"
#include "ui/styled_button.h"

namespace Vel::Theme {

inline constexpr ui::Color kAccentColor = 0x3D84DD;
inline constexpr int kColorGrayText = 17;  // the system's grey (disabled) text colour
inline constexpr unsigned kWmSize = 0x0005;
inline constexpr unsigned kWmActivate = 0x0006;
inline constexpr unsigned kWmSysColorChange = 0x0015;
inline constexpr unsigned kWmSettingChange = 0x001A;

// Each channel moved p percent of the way to white, rounded half away from zero.
ui::Color TintTowardWhite(ui::Color rgb, int percent);
// The colour's luma (0.299 R + 0.587 G + 0.114 B, ties to even) as a grey.
ui::Color LumaGray(ui::Color rgb);

class TVantorelButtonStyles final : public ui::TButtonStyleFamily {
 public:
  TVantorelButtonStyles();
  std::wstring FamilyName() const override { return L"Vantorel"; }
  const ui::TButtonClasses& ClassNames() const override { return classes_; }
  const ui::TButtonAppearances& AppearanceNames() const override { return appearances_; }
  void DefaultStyle(int modalResult, std::wstring& buttonClass, std::wstring& appearance) const override;
  void UpdateStateAttributes(std::wstring_view family, std::wstring_view buttonClass, std::wstring_view appearance,
                             ui::TStyledButtonAttributes& normal, ui::TStyledButtonAttributes& pressed,
                             ui::TStyledButtonAttributes& selected, ui::TStyledButtonAttributes& hot,
                             ui::TStyledButtonAttributes& disabled) const override;

 private:
  ui::TButtonClasses classes_;
  ui::TButtonAppearances appearances_;
};

// Makes the family known to every styled button; once, at start, before any window.
void RegisterButtonStyles();

// What the helper needs of the window manager.
class ThemePlatform {
 public:
  virtual ~ThemePlatform() = default;
  // Asks for a dark title bar and frame; a system that cannot keeps the standard one. In high
  // contrast the scheme's frame is not overridden (asked again, it gives the dark one back).
  virtual void UseDarkFrame(ui::NativeHandle window) = 0;
};

// The refusal of an owner that is not a form. Its message is a fixed text, not a std::string: the
// standard exceptions that carry one bring the runtime's whole second string library into the exe.
class EOwnerNotForm final : public std::exception {
 public:
  const char* what() const noexcept override { return "TThemeHelper Owner must be a TForm"; }
};

// Gives its owner, a form, the dark frame and the accent line across the top two rows of
// its client area, grey while the form is inactive. Owned by the form, so it goes with it.
class TThemeHelper final : public ui::Component {
 public:
  TThemeHelper(ui::Component* owner, std::wstring name, ThemePlatform& platform);
  ~TThemeHelper() override;

  ui::Shape& Line() const { return *FShape; }
  bool IsActive() const { return FIsActive; }

 private:
  bool WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);
  void Refresh();

  ui::Form* FForm = nullptr;
  ThemePlatform& FPlatform;
  ui::Color FActiveColor = kAccentColor;
  bool FIsActive = true;
  ui::Shape* FShape = nullptr;
  ui::MessageHandler FOldWindowProc;
};

}  // namespace Vel::Theme
