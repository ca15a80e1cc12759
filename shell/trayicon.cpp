#include "shell/trayicon.h"

namespace Vel::TrayIcon {

void WaitForShell(const std::shared_ptr<const ui::StopSignal>& terminated, ui::MainThreadQueue& queue,
                  std::weak_ptr<void> alive, ui::TrayIcon* icon, const std::wstring& appName, ShellApi& api) {
  const std::uint64_t start = api.TickCount64();
  for (;;) {
    if (terminated->Raised()) return;
    if (api.TaskbarExists()) break;
    if (api.TickCount64() - start >= kWaitLimitMs) break;
    api.Sleep(kPollMs);
  }
  queue.Queue([alive, icon, appName] {
    if (alive.expired() || icon->Destroying()) return;
    icon->SetHint(appName);
    icon->SetVisible(true);
  });
}

void VisibleOnShell(ui::Application& app, ui::TrayIcon& icon, const std::wstring& AppName, ShellApi& api) {
  auto terminated = app.TerminatedFlag();
  auto queue = app.Queue();
  ui::TrayIcon* target = &icon;
  std::weak_ptr<void> alive = icon.Lifetime();
  // The worker touches the icon only through the queued step, which checks that it still lives.
  ui::StartWorker([terminated, queue, alive, target, AppName, &api] {
    WaitForShell(terminated, *queue, alive, target, AppName, api);
  });
}

void HideApplication(ui::Application& app, ShellApi& api) {
  if (ui::Form* form = app.MainForm()) form->SetVisible(false);
  api.ShowWindow(app.Handle(), kSwHide);
}

void ShowApplication(ui::Application& app, ShellApi& api) {
  ui::Form* form = app.MainForm();
  if (!form || !api.IsWindow(form->Handle())) return;
  api.ShowWindow(app.Handle(), kSwShow);
  app.ShowMainForm = true;
  app.Restore();
  if (app.MonitorCount() > 0) {
    form->SetVisible(true);
    ForceForegroundWindow(form->Handle(), api);
  }
}

void ForceForegroundWindow(NativeHandle Wnd, ShellApi& api) {
  if (api.IsIconic(Wnd)) api.ShowWindow(Wnd, kSwRestore);
  if (api.ForegroundWindow() == Wnd) return;
  if (api.MajorVersion() < 6) {
    api.BringWindowToTop(Wnd);
    api.SetForegroundWindow(Wnd);
    return;
  }
  const unsigned foregroundThread = api.WindowThread(api.ForegroundWindow());
  const unsigned ownThread = api.WindowThread(Wnd);
  if (!api.AttachThreadInput(ownThread, foregroundThread, true)) return;
  api.BringWindowToTop(Wnd);
  api.SetForegroundWindow(Wnd);
  api.AttachThreadInput(ownThread, foregroundThread, false);
  if (api.ForegroundWindow() == Wnd) return;
  const unsigned saved = api.ForegroundLockTimeout();
  api.SetForegroundLockTimeout(0);
  api.BringWindowToTop(Wnd);
  api.SetForegroundWindow(Wnd);
  api.SetForegroundLockTimeout(saved);
}

}  // namespace Vel::TrayIcon
