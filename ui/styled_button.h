// Styled buttons: a button names a family, a class and an appearance; the family, registered
// once at start, answers with the button's look in each of its five states.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"

namespace ui {

enum class TStyledButtonState { bsmNormal, bsmPressed, bsmSelected, bsmHot, bsmDisabled };
enum class TStyledButtonDrawType { btRoundRect, btRounded, btRect, btEllipse };
enum class TBtnDrawStyle { btnClear, btnSolid };
enum class TBorderDrawStyle { brdClear, brdSolid };

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TStyledButtonAttributes {
  TStyledButtonDrawType DrawType = TStyledButtonDrawType::btRoundRect;
  TBtnDrawStyle ButtonDrawStyle = TBtnDrawStyle::btnSolid;
  Color ButtonColor = 0xFFFFFF;
  TBorderDrawStyle BorderDrawStyle = TBorderDrawStyle::brdSolid;
  Color BorderColor = 0x000000;
  int BorderWidth = 0;  // at 96 DPI; a solid outline of width 0 is drawn one pixel wide
  Color FontColor = 0x000000;
  unsigned FontStyle = 0;  // TFontStyle bits
  bool operator==(const TStyledButtonAttributes&) const = default;
};

using TButtonClasses = std::vector<std::wstring>;
using TButtonAppearances = std::vector<std::wstring>;

class TButtonStyleFamily {
 public:
  virtual ~TButtonStyleFamily() = default;
  virtual std::wstring FamilyName() const = 0;
  virtual const TButtonClasses& ClassNames() const = 0;
  virtual const TButtonAppearances& AppearanceNames() const = 0;
  virtual void DefaultStyle(int modalResult, std::wstring& buttonClass, std::wstring& appearance) const = 0;
  virtual void UpdateStateAttributes(std::wstring_view family, std::wstring_view buttonClass,
                                     std::wstring_view appearance, TStyledButtonAttributes& normal,
                                     TStyledButtonAttributes& pressed, TStyledButtonAttributes& selected,
                                     TStyledButtonAttributes& hot, TStyledButtonAttributes& disabled) const = 0;
};

struct TButtonFamily {
  std::wstring FamilyName;
  std::shared_ptr<const TButtonStyleFamily> StyledAttributes;
};

// Process-wide; registered on the main thread before any window exists.
void RegisterButtonFamily(std::shared_ptr<const TButtonStyleFamily> family);
// The first family registered under this name, compared without regard to letter case.
const TButtonStyleFamily* FindButtonFamily(std::wstring_view name);

// The one look a control shows, by priority: disabled, pressed (held or toggled down),
// selected (focused), hot, normal.
TStyledButtonState ChooseButtonState(bool enabled, bool pressed, bool down, bool focused, bool hot);

// The look of `style` in `state`, from its family; a family nobody registered gives the
// toolkit's own plain look.
TStyledButtonAttributes ButtonAttributes(const ButtonStyle& style, TStyledButtonState state);

// The button's face without its caption, as 0x00RRGGBB pixels, rows top down: the shape
// filled and outlined over `background` with smooth edges. `scale` is the DPI over 96; the
// radius and outline width are at 96 DPI.
std::vector<std::uint32_t> RenderButtonFace(int width, int height, double scale, int radius,
                                            const TStyledButtonAttributes& look, std::uint32_t background);

}  // namespace ui
