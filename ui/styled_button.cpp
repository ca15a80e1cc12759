#include "ui/styled_button.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

std::vector<TButtonFamily>& Families() {
  static std::vector<TButtonFamily> families;
  return families;
}

// The toolkit's own look, for buttons whose family is not there: grey, blue under the pointer.
TStyledButtonAttributes PlainLook(TStyledButtonState state) {
  using S = TStyledButtonState;
  TStyledButtonAttributes a;
  a.DrawType = TStyledButtonDrawType::btRect;
  a.ButtonColor = 0xE1E1E1;
  a.BorderColor = 0xADADAD;
  switch (state) {
    case S::bsmNormal: break;
    case S::bsmPressed: a.ButtonColor = 0xCCE4F7; a.BorderColor = 0x005499; break;
    case S::bsmSelected: a.BorderColor = 0x0078D7; break;
    case S::bsmHot: a.ButtonColor = 0xE5F1FB; a.BorderColor = 0x0078D7; break;
    case S::bsmDisabled: a.ButtonColor = 0xCCCCCC; a.BorderColor = 0xBFBFBF; a.FontColor = 0x838383; break;
  }
  return a;
}

// Signed distance from a pixel centre to a rounded rectangle's edge: negative inside.
double RoundRectDistance(double x, double y, double left, double top, double w, double h, double r) {
  r = std::clamp(r, 0.0, std::min(w, h) / 2);
  const double qx = std::abs(x - (left + w / 2)) - (w / 2 - r);
  const double qy = std::abs(y - (top + h / 2)) - (h / 2 - r);
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

// Distance to an ellipse's edge, to first order; exact enough for a one-pixel soft edge.
double EllipseDistance(double x, double y, double left, double top, double w, double h) {
  const double a = w / 2, b = h / 2;
  if (a <= 0 || b <= 0) return 1;
  const double dx = x - (left + a), dy = y - (top + b);
  const double k = std::hypot(dx / a, dy / b);
  if (k < 1e-9) return -std::min(a, b);
  const double grad = std::hypot(dx / (a * a * k), dy / (b * b * k));
  return (k - 1) / grad;
}

double Coverage(double distance) { return std::clamp(0.5 - distance, 0.0, 1.0); }

}  // namespace

void RegisterButtonFamily(std::shared_ptr<const TButtonStyleFamily> family) {
  if (!family) return;
  Families().push_back({family->FamilyName(), std::move(family)});
}

const TButtonStyleFamily* FindButtonFamily(std::wstring_view name) {
  for (const TButtonFamily& f : Families())
    if (SameText(f.FamilyName, name)) return f.StyledAttributes.get();
  return nullptr;
}

TStyledButtonState ChooseButtonState(bool enabled, bool pressed, bool down, bool focused, bool hot) {
  using S = TStyledButtonState;
  if (!enabled) return S::bsmDisabled;
  if (pressed || down) return S::bsmPressed;
  if (focused) return S::bsmSelected;
  if (hot) return S::bsmHot;
  return S::bsmNormal;
}

TStyledButtonAttributes ButtonAttributes(const ButtonStyle& style, TStyledButtonState state) {
  const TButtonStyleFamily* family = FindButtonFamily(style.Family);
  if (!family) return PlainLook(state);
  TStyledButtonAttributes looks[5];
  family->UpdateStateAttributes(style.Family, style.Class, style.Appearance, looks[0], looks[1], looks[2], looks[3],
                                looks[4]);
  return looks[static_cast<int>(state)];
}

std::vector<std::uint32_t> RenderButtonFace(int width, int height, double scale, int radius,
                                            const TStyledButtonAttributes& look, std::uint32_t background) {
  if (width <= 0 || height <= 0) return {};
  std::vector<std::uint32_t> px(std::size_t(width) * std::size_t(height), background & 0xFFFFFF);
  const double w = width, h = height;
  double r = radius * scale;
  switch (look.DrawType) {
    case TStyledButtonDrawType::btRoundRect: break;
    case TStyledButtonDrawType::btRounded: r = std::min(w, h) / 2; break;
    case TStyledButtonDrawType::btRect: r = 0; break;
    case TStyledButtonDrawType::btEllipse: break;
  }
  const bool ellipse = look.DrawType == TStyledButtonDrawType::btEllipse;
  const bool outlined = look.BorderDrawStyle == TBorderDrawStyle::brdSolid;
  const bool filled = look.ButtonDrawStyle == TBtnDrawStyle::btnSolid;
  const double bw = outlined ? std::max(1, look.BorderWidth) * scale : 0;
  auto distance = [&](double x, double y, double inset) {
    if (ellipse) return EllipseDistance(x, y, inset, inset, w - 2 * inset, h - 2 * inset);
    return RoundRectDistance(x, y, inset, inset, w - 2 * inset, h - 2 * inset, r - inset);
  };
  const std::uint32_t bg = background & 0xFFFFFF;
  const std::uint32_t inner = filled ? std::uint32_t(look.ButtonColor) & 0xFFFFFF : bg;
  const std::uint32_t edge = std::uint32_t(look.BorderColor) & 0xFFFFFF;
  auto channel = [](std::uint32_t c, int shift) { return double((c >> shift) & 0xFF); };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      const double outer = Coverage(distance(cx, cy, 0));
      if (outer <= 0) continue;
      const double in = outlined ? std::min(outer, Coverage(distance(cx, cy, bw))) : outer;
      // Each pixel mixes what lies outside, the outline band and the inside by their areas.
      const double wOut = 1 - outer, wEdge = outer - in, wIn = in;
      std::uint32_t out = 0;
      for (int shift : {16, 8, 0}) {
        const double v = channel(bg, shift) * wOut + channel(edge, shift) * wEdge + channel(inner, shift) * wIn;
        out |= std::uint32_t(std::clamp(std::lround(v), 0L, 255L)) << shift;
      }
      px[std::size_t(y) * std::size_t(width) + std::size_t(x)] = out;
    }
  }
  return px;
}

}  // namespace ui
