#include "app/layout.h"

#include <array>

namespace app {
namespace {

using K = ui::ControlKind;

// Rows 0-1 of the client area belong to the accent line; the header starts below it.
constexpr std::array kLayout{
    LayoutEntry{L"PnlHead", K::Panel, nullptr, {0, 2, 500, 50}, L"", 0},
    LayoutEntry{L"PnlLogo", K::Panel, L"PnlHead", {380, 0, 120, 50}, L"", 1},
    LayoutEntry{L"SVGIconImage1", K::Image, L"PnlLogo", {0, 0, 112, 50}, L"", 0},
    LayoutEntry{L"BtnHead", K::ToolBar, L"PnlHead", {10, 10, 360, 30}, L"", 0},
    LayoutEntry{L"BtnHome", K::ToolButton, L"BtnHead", {10, 0, 70, 30}, L"처음화면", 0},
    LayoutEntry{L"BtnConfig", K::ToolButton, L"BtnHead", {80, 0, 70, 30}, L"환경설정", 1},
    LayoutEntry{L"BtnDonate", K::ToolButton, L"BtnHead", {150, 0, 70, 30}, L"후원하기", 2},
    LayoutEntry{L"PnlMain", K::PageControl, nullptr, {0, 52, 500, 398}, L"PnlMain", 1},
    LayoutEntry{L"Card1", K::Page, L"PnlMain", {0, 0, 500, 398}, L"Card1", 0},
    LayoutEntry{L"Card2", K::Page, L"PnlMain", {0, 0, 500, 398}, L"Card2", 1},
    // Home page
    LayoutEntry{L"LblTitle", K::Label, L"Card1", {8, 40, 484, 81}, L"Quorvane", 0},
    LayoutEntry{L"ProgressBar", K::ProgressBar, L"Card1", {56, 192, 393, 25}, L"", 1},
    LayoutEntry{L"LblPhys", K::Label, L"Card1", {56, 223, 70, 13}, L"실제 메모리", 2},
    LayoutEntry{L"LblPhysStatus", K::Label, L"Card1", {132, 223, 317, 13}, L"", 3},
    LayoutEntry{L"LblVirtual", K::Label, L"Card1", {56, 242, 70, 13}, L"가상 메모리", 4},
    LayoutEntry{L"LblVirtualStatus", K::Label, L"Card1", {134, 242, 120, 13}, L"", 5},
    LayoutEntry{L"LblWorking", K::Label, L"Card1", {263, 242, 70, 13}, L"워킹 셋", 6},
    LayoutEntry{L"LblWorkingStatus", K::Label, L"Card1", {341, 242, 108, 13}, L"", 7},
    LayoutEntry{L"BtnClean", K::Button, L"Card1", {168, 298, 164, 68}, L"정리하기", 8},
    LayoutEntry{L"Indicator", K::Indicator, L"Card1", {233, 316, 32, 32}, L"", 9},
    // Settings page
    LayoutEntry{L"GroupBox1", K::GroupBox, L"Card2", {15, 14, 474, 155}, L"메모리 관리", 0},
    LayoutEntry{L"ChkUsagePhys", K::CheckBox, L"GroupBox1", {17, 32, 328, 17},
                L"실제 메모리 사용률(%) 이상일 때 정리하기", 0},
    LayoutEntry{L"EditUsagePhys", K::ComboBox, L"GroupBox1", {372, 31, 81, 21}, L"", 2},
    LayoutEntry{L"ChkUsagePage", K::CheckBox, L"GroupBox1", {17, 62, 328, 17},
                L"가상 메모리 사용률(%) 이상일 때 정리하기", 4},
    LayoutEntry{L"EditUsagePage", K::ComboBox, L"GroupBox1", {372, 62, 81, 21}, L"", 5},
    LayoutEntry{L"ChkUsageWork", K::CheckBox, L"GroupBox1", {17, 92, 328, 17},
                L"워킹셋 사용률(%) 이상일 때 정리하기", 6},
    LayoutEntry{L"EditUsageWork", K::ComboBox, L"GroupBox1", {372, 89, 81, 21}, L"", 7},
    LayoutEntry{L"ChkMinute", K::CheckBox, L"GroupBox1", {17, 122, 328, 17},
                L"다음 시간(분) 마다 정리하기", 1},
    LayoutEntry{L"EditMinute", K::ComboBox, L"GroupBox1", {372, 116, 81, 21}, L"", 3},
    LayoutEntry{L"GroupBox3", K::GroupBox, L"Card2", {15, 192, 474, 73}, L"기본 설정", 1},
    LayoutEntry{L"ChkAutoStart", K::CheckBox, L"GroupBox3", {17, 32, 208, 17}, L"부팅시 실행하기", 0},
    LayoutEntry{L"ChkCleanOnTray", K::CheckBox, L"GroupBox3", {245, 32, 208, 17},
                L"트레이 아이콘 클릭시 정리하기", 1},
    LayoutEntry{L"EditInfo", K::Edit, L"Card2", {15, 368, 170, 21}, L"Loadiing...", 2},
};

constexpr std::array<const wchar_t*, 7> kPercentItems{L"30", L"40", L"50", L"60", L"70", L"80", L"90"};
constexpr std::array<const wchar_t*, 7> kMinuteItems{L"5", L"10", L"20", L"30", L"40", L"50", L"60"};

constexpr std::array kLists{
    ListEntries{L"EditUsagePhys", kPercentItems},
    ListEntries{L"EditUsagePage", kPercentItems},
    ListEntries{L"EditUsageWork", kPercentItems},
    ListEntries{L"EditMinute", kMinuteItems},
};

constexpr std::array kFonts{OwnFontEntry{L"LblTitle", L"Tahoma", 59, true}};

}  // namespace

ui::VectorDrawing MakerLogo() {
  using S = ui::VectorShape;
  ui::VectorDrawing logo{112, 50, {}};
  // A "V" of two crossing strokes, then the maker's name.
  logo.Shapes.push_back(S{S::Kind::Polygon, 0x1E6FD9, {3, 13, 10, 13, 21, 37, 14, 37}, {}, {}, false});
  logo.Shapes.push_back(S{S::Kind::Polygon, 0x4FB3F6, {24, 13, 31, 13, 21, 37, 14, 37}, {}, {}, false});
  logo.Shapes.push_back(S{S::Kind::Text, 0x3A3A3A, {34, 17, 15}, L"Vantorel", L"Tahoma", true});
  return logo;
}

std::span<const OwnFontEntry> MainFonts() { return kFonts; }
std::span<const LayoutEntry> MainLayout() { return kLayout; }
std::span<const ListEntries> MainLists() { return kLists; }

}  // namespace app
