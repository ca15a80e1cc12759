#include "app/services_win32.h"

#include <objbase.h>

#include "memory/memory.h"
#include "shell/trayicon.h"
#include "update/version.h"

namespace app {

void Win32MainServices::ApplyAccentLine(ui::Form&) {
  // The accent line and dark frame arrive with the theme module; rows 0-1 stay white until then.
}

void Win32MainServices::TranslateComponent(ui::Component&) {
  // Captions stay in their Korean source text until the translation table is built in.
}

std::wstring Win32MainServices::Translate(const std::wstring& text) { return text; }

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

void Win32MainServices::SetAutoStartTask(const std::wstring&, bool, int) {
  // The logon task registration is built in with the auto-start module.
}

void Win32MainServices::VisibleOnShell(ui::TrayIcon& icon, const std::wstring& appName) {
  Vel::TrayIcon::VisibleOnShell(app_, icon, appName, Vel::TrayIcon::SystemShellApi());
}

void Win32MainServices::HideApplication() { Vel::TrayIcon::HideApplication(app_, Vel::TrayIcon::SystemShellApi()); }

void Win32MainServices::ShowApplication() { Vel::TrayIcon::ShowApplication(app_, Vel::TrayIcon::SystemShellApi()); }

bool Win32MainServices::SetPrivilege(const std::wstring&, bool) {
  // Token privileges come with the memory purge.
  return false;
}

void Win32MainServices::GetMemoryStatus(Vel::Memory::TMemoryStatus& status) { Vel::Memory::GetMemoryStatus(status); }

void Win32MainServices::CheckUpdate(const std::wstring&, UpdateCallback callback, int) {
  // No update exchange is built in yet, which is the outcome of an unreachable service: the
  // callback runs once on the main thread with nothing accepted.
  auto queue = app_.Queue();
  ui::StartWorker([queue, callback] { queue->Synchronize([callback] { callback(false, L""); }); });
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
