#include "theme/theme_win32.h"

#include <windows.h>

#include "ui/win32/contrast.h"
#include "ui/win32/win32_ui.h"

namespace Vel::Theme {
namespace {

constexpr DWORD kDwmUseImmersiveDarkMode = 20;

class DwmThemePlatform final : public ThemePlatform {
 public:
  void UseDarkFrame(ui::NativeHandle window) override {
    using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    // Loaded on first use: systems before this attribute simply keep their frame.
    static const auto setAttribute = [] {
      HMODULE dwm = ui::win32::LoadSystemLibrary(L"dwmapi.dll");
      return dwm ? reinterpret_cast<SetAttributeFn>(
                       reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")))
                 : nullptr;
    }();
    if (!setAttribute) return;
    const BOOL dark = ui::win32::HighContrast() ? FALSE : -1;
    setAttribute(reinterpret_cast<HWND>(window), kDwmUseImmersiveDarkMode, &dark, sizeof dark);
  }
};

}  // namespace

ThemePlatform& SystemThemePlatform() {
  static DwmThemePlatform platform;
  return platform;
}

TThemeHelper& ApplyAccentLine(ui::Form& form) {
  return form.Create<TThemeHelper>(L"", SystemThemePlatform());
}

}  // namespace Vel::Theme
