#include "app/services_win32.h"

#include <objbase.h>

#include "app/fullscreen.h"
#include "autostart/autostart.h"
#include "config/config.h"
#include "theme/theme_win32.h"
#include "translate/translate.h"
#include "memory/memory.h"
#include "memory/purge.h"
#include "shell/trayicon.h"
#include "update/prompt_win32.h"
#include "update/update_win32.h"
#include "update/version.h"

namespace app {

void Win32MainServices::ApplyAccentLine(ui::Form& form) { Vel::Theme::ApplyAccentLine(form); }

void Win32MainServices::TranslateComponent(ui::Component& root) { Vel::Translate::TranslateComponent(root); }

std::wstring Win32MainServices::Translate(const std::wstring& text) { return Vel::Translate::Translate(text); }

std::wstring Win32MainServices::GetVersionText(const std::wstring& format) {
  return Vel::Update::GetVersionText(format);
}

void Win32MainServices::ShellOpen(const std::wstring& target) { Vel::Update::ShellOpen(target); }

bool Win32MainServices::ComInitialize() {
  const bool ok = SUCCEEDED(CoInitialize(nullptr));
  comInits_.push_back(ok);
  return ok;
}

void Win32MainServices::ComUninitialize() {
  // Only a successful initialization is undone: an unpaired uninitialize would tear down COM
  // that someone else set up on this thread.
  if (comInits_.empty()) return;
  const bool ok = comInits_.back();
  comInits_.pop_back();
  if (ok) CoUninitialize();
}

void Win32MainServices::SetAutoStartTask(const std::wstring& name, bool enabled, int delaySeconds) {
  // An answer from before this change would be stale.
  if (earlyTask_) {
    earlyTask_->Exists();
    earlyTask_ = nullptr;
  }
  Vel::AutoStart::UAC::SetAutoStartTask(name, enabled, delaySeconds);
}

bool Win32MainServices::ProgramSafeForAutoStart() { return Vel::AutoStart::UAC::OwnProgramSafeForElevatedTask(); }

void Win32MainServices::RemoveOwnAutoStartTask(const std::wstring& name) {
  Vel::AutoStart::UAC::RemoveAutoStartTaskOf(name);
}

bool Win32MainServices::IsAutoStartTask(const std::wstring& name) {
  if (earlyTask_ && earlyTask_->TaskName() == name) {
    const bool exists = earlyTask_->Exists();
    earlyTask_ = nullptr;
    return exists;
  }
  return Vel::AutoStart::UAC::IsAutoStartTask(name);
}

namespace {

// The settings key of the current user, open for one batch.
class RegistrySettings final : public SettingsStore {
 public:
  explicit RegistrySettings(const std::wstring& path) : config_(path) {}
  bool ReadBoolean(const std::wstring& Name, bool Default) override { return config_.ReadBoolean(Name, Default); }
  int ReadInteger(const std::wstring& Name, int Default) override { return config_.ReadInteger(Name, Default); }
  void WriteBoolean(const std::wstring& Name, bool Value) override { config_.WriteBoolean(Name, Value); }
  void WriteInteger(const std::wstring& Name, int Value) override { config_.WriteInteger(Name, Value); }

 private:
  Vel::Config::TConfig config_;
};

}  // namespace

std::unique_ptr<SettingsStore> Win32MainServices::OpenSettings(const std::wstring& path) {
  return std::make_unique<RegistrySettings>(path);
}

void Win32MainServices::VisibleOnShell(ui::TrayIcon& icon, const std::wstring& appName) {
  Vel::TrayIcon::VisibleOnShell(app_, icon, appName, Vel::TrayIcon::SystemShellApi());
}

void Win32MainServices::HideApplication() { Vel::TrayIcon::HideApplication(app_, Vel::TrayIcon::SystemShellApi()); }

void Win32MainServices::ShowApplication() { Vel::TrayIcon::ShowApplication(app_, Vel::TrayIcon::SystemShellApi()); }

bool Win32MainServices::SetPrivilege(const std::wstring& name, bool enable) {
  return Vel::Memory::SetPrivilege(name, enable);
}

std::function<void()> Win32MainServices::PurgeProcedure() {
  return [] { Vel::Memory::CleanMemory(); };
}

bool Win32MainServices::RunWorker(std::function<void()> work) { return ui::StartWorker(std::move(work)); }

bool Win32MainServices::IsForegroundFullScreen() { return app::IsForegroundFullScreen(SystemWindowQueries()); }

void Win32MainServices::ShowNotification(ui::TrayIcon& icon, const std::wstring&, const std::wstring& title,
                                         const std::wstring& body) {
  // The tray icon's balloon is the desktop notification every supported Windows has.
  icon.ShowBalloon(title, body);
}

const NumberFormat& Win32MainServices::Numbers() {
  if (numbersRead_) return numbers_;
  numbersRead_ = true;
  wchar_t buf[16];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 16) > 1) lstrcpynW(numbers_.Decimal, buf, 8);
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, 16) > 0) lstrcpynW(numbers_.Thousand, buf, 8);
  // Grouping text such as "3;0" (threes), "3;2;0" (Indian) or "3" (one group only).
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, buf, 16) > 0) {
    numbers_.GroupCount = 0;
    numbers_.RepeatLast = false;
    for (const wchar_t* p = buf; *p; ++p) {
      if (*p < L'0' || *p > L'9') continue;
      if (*p == L'0' && (p[1] == 0)) {
        numbers_.RepeatLast = true;
        break;
      }
      if (numbers_.GroupCount < 4) numbers_.Groups[numbers_.GroupCount++] = static_cast<unsigned char>(*p - L'0');
    }
  }
  return numbers_;
}

void Win32MainServices::GetMemoryStatus(Vel::Memory::TMemoryStatus& status) { Vel::Memory::GetMemoryStatus(status); }

void Win32MainServices::CheckUpdate(const std::wstring& url, UpdateCallback callback, int layout) {
  Vel::Update::TCheckOptions options;
  options.Language = Vel::Translate::CurrentLanguage();
  options.Prompt = Vel::Update::Win32UpdatePrompt(app_, options.Language, Translate(app_.Title));
  Vel::Update::CheckUpdate(app_, url, std::move(callback), layout, options);
}

std::int64_t Win32MainServices::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  const std::int64_t ticks = std::int64_t(ULARGE_INTEGER{{ft.dwLowDateTime, ft.dwHighDateTime}}.QuadPart);
  return ticks / 10000;
}

}  // namespace app
