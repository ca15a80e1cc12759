// The real Win32 services wherever they stay inside this process; purges, settings, the update
// check, the logon task and the browser stay fakes. For tests that drive the real main window.
#pragma once

#include <windows.h>

#include <string>

#include "app/main.h"
#include "app/services_win32.h"
#include "tests/unit/fakes.h"
#include "ui/win32/win32_ui.h"

namespace real {

class Services final : public fakes::Services {
 public:
  explicit Services(ui::Application& app) : real_(app) { realWorkers = true; }
  void ApplyAccentLine(ui::Form& form) override { real_.ApplyAccentLine(form); }
  void TranslateComponent(ui::Component& root) override { real_.TranslateComponent(root); }
  std::wstring Translate(const std::wstring& text) override { return real_.Translate(text); }
  std::wstring GetVersionText(const std::wstring& format) override { return real_.GetVersionText(format); }
  // The shell is up: the icon shows at once instead of from a waiting worker.
  void VisibleOnShell(ui::TrayIcon& icon, const std::wstring& appName) override {
    icon.SetHint(appName);
    icon.SetVisible(true);
  }
  void GetMemoryStatus(Vel::Memory::TMemoryStatus& status) override {
    ++statusCalls;
    real_.GetMemoryStatus(status);
  }
  const app::NumberFormat& Numbers() override { return real_.Numbers(); }
  std::int64_t Now() override { return real_.Now(); }
  void ShowNotification(ui::TrayIcon& icon, const std::wstring& name, const std::wstring& title,
                        const std::wstring& body) override {
    fakes::Services::ShowNotification(icon, name, title, body);
    real_.ShowNotification(icon, name, title, body);
  }

 private:
  app::Win32MainServices real_;
};

// The program's main window on the real toolkit, with the given services. Set the application up
// before Create; the window goes before the model it shows, however the test ends.
template <class ServicesT = Services>
class MainWindow {
 public:
  MainWindow() : services(application.App()), form(application.App(), services, L"") {}
  ~MainWindow() { application.ReleaseForm(); }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  ui::Application& App() { return application.App(); }
  // Realises the window and runs its creation step; its handle (null when it failed).
  HWND Create() {
    App().SetMainForm(&form);
    application.CreateForm(form);
    return reinterpret_cast<HWND>(form.Handle());
  }

  ui::win32::Win32Application application{GetModuleHandleW(nullptr)};
  ServicesT services;
  app::TFrmQuorvane form;
};

}  // namespace real
