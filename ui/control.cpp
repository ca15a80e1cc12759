#include "ui/control.h"

#include <algorithm>
#include <cmath>

namespace ui {

Control::Control(Component* owner, std::wstring name, ControlKind kind, Control* parent)
    : Component(owner, std::move(name)), kind_(kind), parent_(parent) {
  if (parent_) parent_->children_.push_back(this);
}

Control::~Control() {
  if (parent_) std::erase(parent_->children_, this);
  for (Control* c : children_) c->parent_ = nullptr;
}

void Control::SetCaption(std::wstring caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Notify(Prop::Caption);
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Notify(Prop::Visible);
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Notify(Prop::Enabled);
}

void Control::SetBounds(const Rect& bounds) {
  if (bounds == bounds_) return;
  bounds_ = bounds;
  Notify(Prop::Bounds);
}

void Control::SetFontColor(std::int32_t rgb) {
  if (rgb == fontColor_) return;
  fontColor_ = rgb;
  Notify(Prop::Color);
}

void Control::Click() {
  if (OnClick) OnClick(*this);
}

Page& PageControl::AddPage(std::wstring name) {
  Page& page = Owner()->Create<Page>(std::move(name), this);
  pages_.push_back(&page);
  page.SetVisible(false);
  return page;
}

void PageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == active_) return;
  active_ = index;
  for (int i = 0; i < PageCount(); ++i) pages_[std::size_t(i)]->SetVisible(i == index);
  Notify(Prop::ActivePage);
}

void ToolButton::SetDown(bool down) {
  if (down == down_) return;
  down_ = down;
  if (down && group_ != 0 && Parent()) {
    for (Control* sibling : Parent()->Children()) {
      if (sibling == this || sibling->Kind() != ControlKind::ToolButton) continue;
      auto* other = static_cast<ToolButton*>(sibling);
      if (other->group_ == group_) other->SetDown(false);
    }
  }
  Notify(Prop::Down);
}

void ToolBar::SetStyle(ButtonStyle style) {
  if (style == style_) return;
  style_ = std::move(style);
  Notify(Prop::Style);
}

const ButtonStyle& ToolButton::Style() const {
  static const ButtonStyle none;
  if (Parent() && Parent()->Kind() == ControlKind::ToolBar) return static_cast<const ToolBar*>(Parent())->Style();
  return none;
}

}  // namespace ui

namespace ui {

void Button::SetStyle(ButtonStyle style) {
  if (style == style_) return;
  style_ = std::move(style);
  Notify(Prop::Style);
}

void Shape::SetBrushColor(Color c) {
  if (c == brush_) return;
  brush_ = c;
  Notify(Prop::Color);
}

void Shape::SetPenColor(Color c) {
  if (c == pen_) return;
  pen_ = c;
  Notify(Prop::Color);
}

Indicator::Indicator(Component* owner, std::wstring name, Control* parent)
    : Control(owner, std::move(name), ControlKind::Indicator, parent) {
  // Eight sectors on a 32-unit square, fading round the ring.
  Drawing.Width = Drawing.Height = 32;
  constexpr float kPi = 3.14159265f;
  for (int i = 0; i < 8; ++i) {
    const float a0 = (i * 45.0f - 18.0f) * kPi / 180, a1 = (i * 45.0f + 18.0f) * kPi / 180;
    const std::uint32_t grey = std::uint32_t(0x40 + i * 0x18);
    VectorShape sector{VectorShape::Kind::Polygon, grey << 16 | grey << 8 | grey, {}, {}, {}, false};
    for (float a : {a0, a1}) sector.coords.insert(sector.coords.end(), {16 + 15 * std::cos(a), 16 + 15 * std::sin(a)});
    for (float a : {a1, a0}) sector.coords.insert(sector.coords.end(), {16 + 9 * std::cos(a), 16 + 9 * std::sin(a)});
    Drawing.Shapes.push_back(std::move(sector));
  }
}

void ProgressBar::SetPosition(int position) {
  position = std::clamp(position, 0, 100);
  if (position == position_) return;
  position_ = position;
  Notify(Prop::Position);
}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Notify(Prop::Checked);
  Control::Click();
}

void ComboBox::SetItems(std::vector<std::wstring> items) {
  items_ = std::move(items);
  itemIndex_ = -1;
  Notify(Prop::Items);
}

void ComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= int(items_.size())) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Notify(Prop::ItemIndex);
}

std::wstring ComboBox::Text() const {
  return itemIndex_ >= 0 ? items_[std::size_t(itemIndex_)] : std::wstring();
}

void ComboBox::UserSelect(int index) {
  SetItemIndex(index);
  if (OnChange) OnChange(*this);
}

}  // namespace ui
