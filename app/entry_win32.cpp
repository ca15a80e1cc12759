#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/instance.h"
#include "app/main.h"
#include "app/services_win32.h"
#include "crash/crash_report.h"
#include "theme/theme.h"
#include "translate/translate.h"
#include "ui/win32/win32_ui.h"

namespace {

HWND H(ui::NativeHandle h) { return reinterpret_cast<HWND>(h); }

class Win32InstancePlatform final : public app::InstancePlatform {
 public:
  explicit Win32InstancePlatform(HINSTANCE instance) : instance_(instance) {}

  ui::NativeHandle FindRunningWindow() override {
    return reinterpret_cast<ui::NativeHandle>(FindWindowW(app::kInstanceName, nullptr));
  }
  bool MutexExists() override {
    // The handle stays open on purpose: this process ends right after.
    return OpenMutexW(MUTEX_ALL_ACCESS, FALSE, app::kInstanceName) != nullptr;
  }
  void CreateOwnedMutex() override { CreateMutexW(nullptr, TRUE, app::kInstanceName); }
  bool SendCommand(ui::NativeHandle window, std::uintptr_t command) override {
    if (!window) return true;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(H(window), app::kWmUser, command, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                               app::kSendTimeoutMs, &ignored) != 0;
  }
  void AllowForeground(ui::NativeHandle window) override {
    DWORD process = 0;
    GetWindowThreadProcessId(H(window), &process);
    if (process) AllowSetForegroundWindow(process);
  }
  bool IsWindow(ui::NativeHandle window) override { return ::IsWindow(H(window)); }
  void Sleep(unsigned ms) override { ::Sleep(ms); }

  int RunInstance(const std::wstring& firstArg) override {
    // First of all, so that the Task Scheduler answers while everything else starts.
    Vel::AutoStart::UAC::EarlyTaskQuery earlyTask(app::kTaskName);
    // The table and the language come first: every caption made from here on is translated.
    Vel::Translate::Startup();
    struct Unload {
      ~Unload() { Vel::Translate::Shutdown(); }
    } unload;
    ui::win32::Win32Application application(instance_);
    ui::Application& app = application.App();
    app.MainFormOnTaskbar = true;
    app.RightToLeftReading = Vel::Translate::ReadsRightToLeft();
    app::Win32MainServices services(app, &earlyTask);
    app::TFrmQuorvane form(app, services, firstArg);
    // The native windows point into the form: they go first, however this scope is left.
    struct Release {
      ui::win32::Win32Application& application;
      ~Release() { application.ReleaseForm(); }
    } release{application};
    app.SetMainForm(&form);
    application.CreateForm(form);
    if (app::StartsHidden(firstArg)) app.ShowMainForm = false;
    return application.Run();
  }

 private:
  HINSTANCE instance_;
};

// Before anything else loads: DLLs come from System32 only, never from beside the exe or the
// current folder (the program runs elevated, often from a downloads folder).
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto setDirs = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDirs) setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  Vel::Crash::InstallCrashReporter();
  // The button style family exists before any window does.
  Vel::Theme::RegisterButtonStyles();
  std::vector<std::wstring> args;
  int argc = 0;
  if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
  }
  try {
    Win32InstancePlatform platform(instance);
    return app::RunEntry(args, platform);
  } catch (...) {
    return 1;
  }
}
