// Win32 peers of the toolkit's model: the application's hidden window, the form and its
// controls, timers, the tray icon, and the message loop. The form's peer is in form_window.h.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/form.h"

namespace ui::win32 {

// Window property holding a global atom with the component's name, so outside tools
// (the test probe) can tell the controls apart.
inline constexpr wchar_t kNameProp[] = L"QuorvaneName";
// Tray icon notifications arrive at the form as this message.
inline constexpr UINT kTrayMessage = WM_APP + 1;

// The notification area as the tray icon reaches it. Tests put a stand-in here that plays a shell
// too busy to answer at logon, and shorten the pauses between retries.
struct TrayShell {
  BOOL(WINAPI* Notify)(DWORD message, PNOTIFYICONDATAW data) = Shell_NotifyIconW;
  UINT PauseUnitMs = 1000;
};
TrayShell& TrayShellSeam();

// The system's message box and pop-up menu as the application reaches them. Tests put stand-ins
// here to see the flags they are given, which no window keeps.
struct SystemPopups {
  int(WINAPI* ShowMessageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) = MessageBoxW;
  BOOL(WINAPI* TrackMenu)(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                          const RECT* rect) = TrackPopupMenu;
};
SystemPopups& SystemPopupsSeam();

// How this system loads a DLL from System32 only. The loader's own System32 search flag is
// known from Windows 8 on, and on 7 only with KB2533623 (the update that brought
// AddDllDirectory); without it the flag is refused, and the full path does the same.
struct SystemLoader {
  bool searchFlagKnown = false;
  std::wstring systemFolder;  // GetSystemDirectoryW, no trailing backslash
  HMODULE(WINAPI* loadEx)(LPCWSTR, HANDLE, DWORD) = LoadLibraryExW;
};
const SystemLoader& ThisSystemLoader();
HMODULE LoadSystemLibrary(const wchar_t* name, const SystemLoader& loader);
// Loads a system DLL from System32 only.
inline HMODULE LoadSystemLibrary(const wchar_t* name) { return LoadSystemLibrary(name, ThisSystemLoader()); }

class Win32Application final : public ApplicationPlatform {
 public:
  explicit Win32Application(HINSTANCE instance);
  ~Win32Application() override;

  Application& App() { return app_; }
  HINSTANCE Instance() const { return instance_; }

  int MessageDialog(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
  void Restore() override;
  NativeHandle Handle() override { return reinterpret_cast<NativeHandle>(hidden_); }
  int MonitorCount() override { return GetSystemMetrics(SM_CMONITORS); }

  // Realises the form with all its controls, timers and tray icons, then runs its creation step.
  void CreateForm(Form& form);
  // Runs the loop until the main form closes; returns the exit code.
  int Run();
  // Destroys the form's windows; call before the form itself goes, also when creation threw.
  void ReleaseForm();

 private:
  static LRESULT CALLBACK HiddenProc(HWND, UINT, WPARAM, LPARAM);
  HINSTANCE instance_;
  Application app_;
  HWND hidden_ = nullptr;
  class FormWindow;
  std::unique_ptr<FormWindow> form_;
};

}  // namespace ui::win32
