// The main window's world on Windows.
#pragma once

#include <vector>

#include "app/main.h"
#include "autostart/autostart_win32.h"

namespace app {

class Win32MainServices final : public MainServices {
 public:
  // With `early`, the first question for its task is answered by it (unless the task was changed
  // in between); it must outlive this.
  explicit Win32MainServices(ui::Application& app, Vel::AutoStart::UAC::EarlyTaskQuery* early = nullptr)
      : app_(app), earlyTask_(early) {}
  void ApplyAccentLine(ui::Form& form) override;
  void TranslateComponent(ui::Component& root) override;
  std::wstring Translate(const std::wstring& text) override;
  std::wstring GetVersionText(const std::wstring& format) override;
  void ShellOpen(const std::wstring& target) override;
  bool ComInitialize() override;
  void ComUninitialize() override;
  void SetAutoStartTask(const std::wstring& name, bool enabled, int delaySeconds) override;
  bool IsAutoStartTask(const std::wstring& name) override;
  bool ProgramSafeForAutoStart() override;
  void RemoveOwnAutoStartTask(const std::wstring& name) override;
  std::unique_ptr<SettingsStore> OpenSettings(const std::wstring& path) override;
  void VisibleOnShell(ui::TrayIcon& icon, const std::wstring& appName) override;
  void HideApplication() override;
  void ShowApplication() override;
  bool SetPrivilege(const std::wstring& name, bool enable) override;
  void GetMemoryStatus(Vel::Memory::TMemoryStatus& status) override;
  void CheckUpdate(const std::wstring& url, UpdateCallback callback, int layout) override;
  std::int64_t Now() override;
  const NumberFormat& Numbers() override;
  bool IsForegroundFullScreen() override;
  std::function<void()> PurgeProcedure() override;
  bool RunWorker(std::function<void()> work) override;
  void ShowNotification(ui::TrayIcon& icon, const std::wstring& name, const std::wstring& title,
                        const std::wstring& body) override;

 private:
  ui::Application& app_;
  Vel::AutoStart::UAC::EarlyTaskQuery* earlyTask_;
  std::vector<bool> comInits_;
  NumberFormat numbers_;
  bool numbersRead_ = false;
};

}  // namespace app
