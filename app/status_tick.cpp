// The main window's one-second status tick: the status texts and bar, the decision to clean
// automatically, and the clean run that a tick, the clean button or the tray icon starts.
#include "app/main.h"

namespace app {

namespace {

// No automatic clean this soon after start, a clean or a settings change.
constexpr std::int64_t kMinimumSpacingSeconds = 300;

// The selected entry of a list as a whole number, without copying its text.
long long SelectedNumberOr(const ui::ComboBox& list, long long fallback) {
  const int i = list.ItemIndex();
  if (i < 0 || i >= int(list.Items().size())) return fallback;
  return WholeNumberOr(list.Items()[std::size_t(i)], fallback);
}

std::int64_t ElapsedSeconds(std::int64_t from, std::int64_t to) {
  return (to >= from ? to - from : from - to) / 1000;
}

}  // namespace

void TFrmQuorvane::TmrStatusTimer(ui::Component&) {
  TmrStatus->SetEnabled(false);
  try {
    StatusTick();
  } catch (...) {
    // Out of memory for a status text, say: this second is lost, the next one comes.
  }
  TmrStatus->SetEnabled(true);
}

void TFrmQuorvane::StatusTick() {
  // Cleared first, so a failed cache query shows zeros, never the last second's figures.
  Status = {};
  services_.GetMemoryStatus(Status);
  const NumberFormat& numbers = services_.Numbers();

  std::wstring text;
  FormatStatus(FmtPhysStatus,
               {ToMiB(Status.TotalPhys - Status.AvailPhys), ToMiB(Status.TotalPhys), double(Status.UsagePhys)},
               numbers, text);
  LblPhysStatus->SetCaption(std::move(text));
  if (LblVirtual->Visible()) {
    std::wstring page;
    FormatStatus(L"%.0n MB (%n%%)", {ToMiB(Status.TotalPage - Status.AvailPage), double(Status.UsagePage)},
                 numbers, page);
    LblVirtualStatus->SetCaption(std::move(page));
  }
  if (LblWorking->Visible()) {
    std::wstring work;
    FormatStatus(L"%.0n MB (%n%%)", {ToMiB(Status.TotalWork - Status.AvailWork), double(Status.UsageWork)},
                 numbers, work);
    LblWorkingStatus->SetCaption(std::move(work));
  }
  ProgressBar->SetPosition(int(RoundHalfEven(Status.UsagePhys)));

  if (!FIsRunning) {
    bool due = false;
    if (ChkUsagePhys->Checked()) due = Status.UsagePhys >= float(SelectedNumberOr(*EditUsagePhys, 100));
    if (ChkUsagePage->Checked() && Status.UsagePage >= float(SelectedNumberOr(*EditUsagePage, 100))) due = true;
    if (ChkUsageWork->Checked() && Status.UsageWork >= float(SelectedNumberOr(*EditUsageWork, 100))) due = true;
    if (ChkMinute->Checked()) {
      const std::int64_t minutes = SelectedNumberOr(*EditMinute, 1440);
      if (ElapsedSeconds(NextTime, services_.Now()) >= minutes * 60) due = true;
    }
    if (ElapsedSeconds(NextTime, services_.Now()) < kMinimumSpacingSeconds) due = false;
    if (due && services_.IsForegroundFullScreen()) due = false;
    if (due && !FIsRunning) Clean(false);
  }
}

void TFrmQuorvane::SetIsRunning(bool Value) {
  if (Value == FIsRunning) return;
  FIsRunning = Value;
  BtnClean->SetCaption(services_.Translate(Value ? L"정리중 ..." : L"정리하기"));
  BtnClean->SetEnabled(!Value);
  if (TrayIcon) TrayIcon->SetImageIndex(Value ? 1 : 0);
}

void TFrmQuorvane::Clean(bool Alarm) {
  if (FIsRunning) return;
  SetIsRunning(true);
  std::weak_ptr<TFrmQuorvane*> context = callbackContext_;
  auto complete = [context, Alarm] {
    auto form = context.lock();
    if (!form) return;
    TFrmQuorvane& self = **form;
    self.NextTime = self.services_.Now();
    self.SetIsRunning(false);
    if (Alarm) self.ShowNotification(self.services_.Translate(L"메모리를 정리하였습니다."));
  };
  auto queue = app_.Queue();
  // The worker holds nothing of the window or its services: it may outlive both at exit.
  const bool started = services_.RunWorker([purge = services_.PurgeProcedure(), queue, complete] {
    try {
      purge();
    } catch (...) {
      // A purge that fails still completes the run.
    }
    queue->Synchronize(complete);
  });
  // Without a worker nothing was purged, but the run must still end, or the window would show
  // a clean in progress until the program quits.
  if (!started) complete();
}

void TFrmQuorvane::BtnCleanClick(ui::Component& Sender) {
  if (FIsRunning) return;
  Clean(dynamic_cast<ui::TrayIcon*>(&Sender) != nullptr);
}

void TFrmQuorvane::TrayIconClick(ui::Component& Sender) {
  if (ChkCleanOnTray->Checked())
    BtnCleanClick(Sender);
  else
    services_.ShowApplication();
}

void TFrmQuorvane::ShowNotification(const std::wstring& Text) {
  try {
    if (TrayIcon) services_.ShowNotification(*TrayIcon, app_.Title, Caption(), Text);
  } catch (...) {
    // No notification is no failure of the run.
  }
}

}  // namespace app
