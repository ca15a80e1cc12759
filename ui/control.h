// Controls: state held in the model, mirrored to a native peer when one is attached.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/component.h"

namespace ui {

struct Rect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const Rect&) const = default;
};

enum class Prop { Caption, Visible, Enabled, Bounds, Down, ActivePage, Font, Color, Checked,
                  Items, ItemIndex, Position, Focus, Style, Border, Hint };

// A colour is #RRGGBB as 0xRRGGBB, or a system colour by its index, looked up when drawn so
// that it follows the user's scheme.
using Color = std::int32_t;
inline constexpr Color kSystemColorFlag = 0x40000000;
constexpr Color SystemColor(int index) { return kSystemColorFlag | index; }
constexpr bool IsSystemColor(Color c) { return (c & kSystemColorFlag) != 0; }

// The look a styled button asks of its button family; see ui/styled_button.h.
struct ButtonStyle {
  std::wstring Family;
  std::wstring Class;
  std::wstring Appearance;
  int Radius = 6;  // corner radius at 96 DPI
  bool operator==(const ButtonStyle&) const = default;
};

enum class ControlKind { Form, Panel, PageControl, Page, ToolBar, ToolButton, Label, Edit,
                         Button, CheckBox, ComboBox, ProgressBar, Image, Indicator, GroupBox, StatusBar };

class Control;

// A native realisation of a control. The model tells it what changed; it reads the rest.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Changed(Control& control, Prop what) = 0;
};

class Control : public Component {
 public:
  Control(Component* owner, std::wstring name, ControlKind kind, Control* parent);
  ~Control() override;

  ControlKind Kind() const { return kind_; }
  Control* Parent() const { return parent_; }
  const std::vector<Control*>& Children() const { return children_; }

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(std::wstring caption);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  const Rect& Bounds() const { return bounds_; }
  void SetBounds(const Rect& bounds);
  // #RRGGBB as 0xRRGGBB; -1 is the system's window-text colour.
  std::int32_t FontColor() const { return fontColor_; }
  void SetFontColor(std::int32_t rgb);
  // A font of the control's own; an empty name follows the parent's font.
  const std::wstring& OwnFontName() const { return fontName_; }
  int OwnFontHeight() const { return fontHeight_; }
  bool FontBold() const { return fontBold_; }
  void SetFontBold(bool bold) {
    if (bold == fontBold_) return;
    fontBold_ = bold;
    Notify(Prop::Font);
  }
  void SetOwnFont(std::wstring name, int pixelHeight) {
    fontName_ = std::move(name);
    fontHeight_ = pixelHeight;
    Notify(Prop::Font);
  }
  // Shown when the pointer rests on the control.
  const std::wstring& Hint() const { return hint_; }
  void SetHint(std::wstring hint) {
    if (hint == hint_) return;
    hint_ = std::move(hint);
    Notify(Prop::Hint);
  }
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order) { tabOrder_ = order; }

  NotifyEvent OnClick;
  // A click, from the user through the peer or from code; raises OnClick.
  virtual void Click();

  ControlPeer* Peer() const { return peer_; }
  void AttachPeer(ControlPeer* peer) { peer_ = peer; }

 protected:
  void Notify(Prop what) {
    if (peer_) peer_->Changed(*this, what);
  }

 private:
  ControlKind kind_;
  Control* parent_;
  std::vector<Control*> children_;
  std::wstring caption_;
  bool visible_ = true;
  bool enabled_ = true;
  Rect bounds_;
  std::int32_t fontColor_ = -1;
  std::wstring fontName_;
  int fontHeight_ = 0;
  bool fontBold_ = false;
  std::wstring hint_;
  int tabOrder_ = 0;
  ControlPeer* peer_ = nullptr;
};

class Panel : public Control {
 public:
  Panel(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::Panel, parent) {}
};

class Page : public Control {
 public:
  Page(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::Page, parent) {}
};

// Two or more pages stacked in one place; one is shown.
class PageControl : public Control {
 public:
  PageControl(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::PageControl, parent) {}
  Page& AddPage(std::wstring name);
  int PageCount() const { return int(pages_.size()); }
  Page& PageAt(int index) const { return *pages_.at(std::size_t(index)); }
  int ActivePageIndex() const { return active_; }
  void SetActivePageIndex(int index);

 private:
  std::vector<Page*> pages_;
  int active_ = -1;
};

class Label : public Control {
 public:
  Label(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::Label, parent) {}
  bool Centred = false;
};

// A bar of one centred, owner-drawn panel (its caption) along the bottom of its form, below
// the form's designed client area: the window grows by the bar's height, which is in pixels
// and does not scale. It shows the hand cursor.
class StatusBar : public Control {
 public:
  StatusBar(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::StatusBar, parent) {}
};

// A read-only one-line text box.
class Edit : public Control {
 public:
  Edit(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::Edit, parent) {}
};

class ToolBar : public Control {
 public:
  ToolBar(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::ToolBar, parent) {}
  // Its buttons take their look from the toolbar.
  const ButtonStyle& Style() const { return style_; }
  void SetStyle(ButtonStyle style);

 private:
  ButtonStyle style_;
};

// A header button. Buttons of one group behave as radio buttons once marked down.
class ToolButton : public Control {
 public:
  ToolButton(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::ToolButton, parent) {}
  bool Down() const { return down_; }
  // Marking a button down releases the other down button of its group.
  void SetDown(bool down);
  int Grouped() const { return group_; }
  void SetGroup(int group) { group_ = group; }
  // The toolbar's style; a button outside a toolbar has the default one.
  const ButtonStyle& Style() const;

 private:
  bool down_ = false;
  int group_ = 0;
};

}  // namespace ui

namespace ui {

// A vector drawing in design units; the peer scales it to the control's box, so it stays
// crisp at any DPI.
struct VectorShape {
  enum class Kind { Polygon, Ellipse, Text } kind = Kind::Polygon;
  std::uint32_t rgb = 0;
  // Polygon: x0, y0, x1, y1, ...; ellipse: left, top, width, height; text: left, top, height.
  std::vector<float> coords;
  std::wstring text;
  std::wstring font;
  bool bold = false;
};

struct VectorDrawing {
  float Width = 0, Height = 0;
  std::vector<VectorShape> Shapes;
};

class Image : public Control {
 public:
  Image(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::Image, parent) {}
  VectorDrawing Drawing;
};

class GroupBox : public Control {
 public:
  GroupBox(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::GroupBox, parent) {}
};

// A styled push button: its family paints it. It never takes the keyboard focus.
class Button : public Control {
 public:
  Button(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::Button, parent) {}
  const ButtonStyle& Style() const { return style_; }
  void SetStyle(ButtonStyle style);

 private:
  ButtonStyle style_;
};

// A filled rectangle with an outline of one pixel, such as a line along a window's edge.
class Shape : public Panel {
 public:
  Shape(Component* owner, std::wstring name, Control* parent) : Panel(owner, std::move(name), parent) {}
  Color BrushColor() const { return brush_; }
  void SetBrushColor(Color c);
  Color PenColor() const { return pen_; }
  void SetPenColor(Color c);

 private:
  Color brush_ = 0xFFFFFF;
  Color pen_ = 0x000000;
};

// An activity indicator: a ring of sectors.
class Indicator : public Control {
 public:
  Indicator(Component* owner, std::wstring name, Control* parent);
  VectorDrawing Drawing;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::ProgressBar, parent) {}
  int Position() const { return position_; }
  void SetPosition(int position);

 private:
  int position_ = 0;
};

// A check box whose click handler runs on every change of its state, by the user or by code.
class CheckBox : public Control {
 public:
  CheckBox(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::CheckBox, parent) {}
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  // A user's click toggles the state, which raises OnClick.
  void Click() override { SetChecked(!checked_); }

 private:
  bool checked_ = false;
};

// A pick-only drop-down list. Code that sets the selection raises no change event.
class ComboBox : public Control {
 public:
  ComboBox(Component* owner, std::wstring name, Control* parent)
      : Control(owner, std::move(name), ControlKind::ComboBox, parent) {}
  const std::vector<std::wstring>& Items() const { return items_; }
  void SetItems(std::vector<std::wstring> items);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // The selected entry's text, empty with no selection.
  std::wstring Text() const;
  NotifyEvent OnChange;
  // The user picked an entry.
  void UserSelect(int index);

 private:
  std::vector<std::wstring> items_;
  int itemIndex_ = -1;
};

}  // namespace ui
