// Recording fakes of the world around the main window.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main.h"
#include "ui/application.h"

namespace fakes {

class AppPlatform : public ui::ApplicationPlatform {
 public:
  std::vector<std::wstring> boxes;
  unsigned lastFlags = 0;
  std::wstring lastCaption;
  int answer = 7;  // IDNO
  int restores = 0;
  int MessageDialog(const std::wstring& text, const std::wstring& caption, unsigned flags) override {
    boxes.push_back(text);
    lastCaption = caption;
    lastFlags = flags;
    return answer;
  }
  void Restore() override { ++restores; }
  ui::NativeHandle Handle() override { return 0x55; }
  int MonitorCount() override { return 1; }
};

// The settings key as a map; every write is also logged as "name=value".
class SettingsStore : public app::SettingsStore {
 public:
  SettingsStore(std::map<std::wstring, int>& values, std::vector<std::wstring>& writes)
      : values_(values), writes_(writes) {}
  bool ReadBoolean(const std::wstring& name, bool def) override {
    auto it = values_.find(name);
    return it == values_.end() ? def : it->second != 0;
  }
  int ReadInteger(const std::wstring& name, int def) override {
    auto it = values_.find(name);
    return it == values_.end() ? def : it->second;
  }
  void WriteBoolean(const std::wstring& name, bool value) override { Write(name, value ? 1 : 0); }
  void WriteInteger(const std::wstring& name, int value) override { Write(name, value); }

 private:
  void Write(const std::wstring& name, int value) {
    values_[name] = value;
    writes_.push_back(name + L"=" + std::to_wstring(value));
  }
  std::map<std::wstring, int>& values_;
  std::vector<std::wstring>& writes_;
};

class Services : public app::MainServices {
 public:
  std::map<std::wstring, int> settings;
  std::vector<std::wstring> settingWrites;
  std::wstring settingsPath;
  bool taskExists = false;
  std::unique_ptr<app::SettingsStore> OpenSettings(const std::wstring& path) override {
    settingsPath = path;
    return std::make_unique<SettingsStore>(settings, settingWrites);
  }
  bool IsAutoStartTask(const std::wstring& name) override {
    log.push_back(L"task? " + name);
    return taskExists;
  }

  std::vector<std::wstring> log;
  bool comOk = true;
  std::wstring version = L"1.9.5";
  std::int64_t now = 1000;
  app::UpdateCallback updateCallback;
  ui::TrayIcon* shellIcon = nullptr;
  Vel::Memory::TMemoryStatus nextStatus;
  int statusCalls = 0;
  bool statusSawClearedRecord = true;
  bool logSnapshots = true;  // off where allocations are counted

  void ApplyAccentLine(ui::Form&) override { log.push_back(L"accent"); }
  void TranslateComponent(ui::Component&) override { log.push_back(L"translate-component"); }
  std::wstring Translate(const std::wstring& text) override { return text; }
  std::wstring GetVersionText(const std::wstring& format) override {
    log.push_back(L"version " + format);
    return version;
  }
  void ShellOpen(const std::wstring& target) override { log.push_back(L"open " + target); }
  bool ComInitialize() override {
    log.push_back(L"com-init");
    return comOk;
  }
  void ComUninitialize() override { log.push_back(L"com-uninit"); }
  void SetAutoStartTask(const std::wstring& name, bool enabled, int delay) override {
    log.push_back(L"task " + name + L" " + (enabled ? L"on " : L"off ") + std::to_wstring(delay));
  }
  bool ProgramSafeForAutoStart() override {
    log.push_back(L"folder safe?");
    return folderSafe;
  }
  void RemoveOwnAutoStartTask(const std::wstring& name) override { log.push_back(L"task " + name + L" off if ours"); }
  bool folderSafe = true;
  void VisibleOnShell(ui::TrayIcon& icon, const std::wstring& appName) override {
    shellIcon = &icon;
    log.push_back(L"visible-on-shell " + appName);
  }
  void HideApplication() override { log.push_back(L"hide"); }
  void ShowApplication() override { log.push_back(L"show"); }
  bool SetPrivilege(const std::wstring& name, bool) override {
    log.push_back(L"privilege " + name);
    return false;
  }
  void GetMemoryStatus(Vel::Memory::TMemoryStatus& s) override {
    ++statusCalls;
    statusSawClearedRecord &= s.TotalWork == 0 && s.UsageWork == 0 && s.TotalPhys == 0;
    if (logSnapshots) log.push_back(L"snapshot");
    s = nextStatus;
  }
  void CheckUpdate(const std::wstring& url, app::UpdateCallback cb, int layout) override {
    log.push_back(L"check-update " + url + L" " + std::to_wstring(layout));
    updateCallback = std::move(cb);
  }
  std::int64_t Now() override { return now; }

  app::NumberFormat numbers;
  bool fullScreen = false;
  int fullScreenQueries = 0;
  std::atomic<int> cleans{0};
  bool cleanThrows = false;
  std::vector<std::function<void()>> workers;  // started, not yet run
  std::vector<std::wstring> notifications;

  const app::NumberFormat& Numbers() override { return numbers; }
  bool IsForegroundFullScreen() override {
    ++fullScreenQueries;
    return fullScreen;
  }
  bool workersFail = false;
  std::function<void()> PurgeProcedure() override {
    return [this] {
      ++cleans;
      if (cleanThrows) throw std::runtime_error("purge failed");
    };
  }
  // Real threads instead of workers the test runs itself.
  bool realWorkers = false;
  bool RunWorker(std::function<void()> work) override {
    if (workersFail) return false;
    if (realWorkers) return ui::StartWorker(std::move(work));
    workers.push_back(std::move(work));
    return true;
  }
  void ShowNotification(ui::TrayIcon&, const std::wstring& name, const std::wstring& title,
                        const std::wstring& body) override {
    notifications.push_back(name + L"|" + title + L"|" + body);
  }
  // Runs the oldest started worker to its end, on this (the main) thread.
  void FinishWorker() {
    auto work = std::move(workers.front());
    workers.erase(workers.begin());
    work();
  }

  bool Logged(const std::wstring& entry) const {
    for (const auto& e : log)
      if (e == entry) return true;
    return false;
  }
};

// The main window with recording fakes around it.
struct MainHarness {
  fakes::AppPlatform platform;
  ui::Application application{platform};
  fakes::Services services;
  std::unique_ptr<app::TFrmQuorvane> form;
  bool closed = false;

  explicit MainHarness(std::wstring arg = L"") {
    form = std::make_unique<app::TFrmQuorvane>(application, services, std::move(arg));
    form->OnClosed = [this] { closed = true; };
    application.SetMainForm(form.get());
  }
  void Create() { form->DoCreate(); }
  std::intptr_t Send(unsigned msg, std::uintptr_t wParam) {
    std::intptr_t result = -1;
    form->HandleMessage(msg, wParam, 0, result);
    return result;
  }
};

}  // namespace fakes
