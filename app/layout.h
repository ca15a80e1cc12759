// The main window's composition, written once as data.
#pragma once

#include <span>

#include "ui/control.h"

namespace app {

struct LayoutEntry {
  const wchar_t* name;
  ui::ControlKind kind;
  const wchar_t* parent;  // nullptr: the form itself
  ui::Rect bounds;        // pixels at 96 DPI, relative to the parent's client area
  const wchar_t* caption;
  int tabOrder;
};

struct ListEntries {
  const wchar_t* name;
  std::span<const wchar_t* const> items;
};

// Controls that draw their text in a font of their own.
struct OwnFontEntry {
  const wchar_t* name;
  const wchar_t* fontName;
  int pixelHeight;
  bool centred;
};

inline constexpr int kClientWidth = 500;
inline constexpr int kClientHeight = 450;

std::span<const LayoutEntry> MainLayout();
std::span<const ListEntries> MainLists();
// The maker's logo for SVGIconImage1, on its 112 x 50 box.
ui::VectorDrawing MakerLogo();
std::span<const OwnFontEntry> MainFonts();

// Menu commands of the tray pop-up; fixed so that tools outside the program can name them.
enum MenuCommand : int { kCmdOpen = 101, kCmdSeparator = 102, kCmdCopyright = 103, kCmdClose = 104 };

}  // namespace app
