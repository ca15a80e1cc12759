// The main window's settings page: loading the stored settings into it at creation, and its
// handlers, which store every change at once.
#include "app/main.h"

namespace app {

void TFrmQuorvane::LoadConfig() {
  bool taskExists = false;
  if (services_.ComInitialize()) {
    taskExists = services_.IsAutoStartTask(kTaskName);
    // Ticked below, the box registers the task again; not from a folder others can change.
    if (taskExists && !services_.ProgramSafeForAutoStart()) {
      services_.RemoveOwnAutoStartTask(kTaskName);
      taskExists = false;
    }
  }
  services_.ComUninitialize();
  {
    const std::unique_ptr<SettingsStore> store = services_.OpenSettings(kSettingsPath);
    EditUsagePhys->SetEnabled(store->ReadBoolean(L"enabled_usage_phys", false));
    EditUsagePage->SetEnabled(store->ReadBoolean(L"enabled_usage_page", false));
    EditUsageWork->SetEnabled(store->ReadBoolean(L"enabled_usage_work", false));
    EditUsagePhys->SetItemIndex(store->ReadInteger(L"limit_usage_phys", 6));
    EditUsagePage->SetItemIndex(store->ReadInteger(L"limit_usage_page", 6));
    EditUsageWork->SetItemIndex(store->ReadInteger(L"limit_usage_work", 6));
    EditMinute->SetEnabled(store->ReadBoolean(L"enabled_minute", false));
    EditMinute->SetItemIndex(store->ReadInteger(L"limit_minute", 3));
    const bool cleanOnTray = store->ReadBoolean(L"cleanontray", false);
    // Checking a box runs its handler, which writes through a store of its own.
    ChkCleanOnTray->SetChecked(cleanOnTray);
  }
  ChkUsagePhys->SetChecked(EditUsagePhys->Enabled());
  ChkUsagePage->SetChecked(EditUsagePage->Enabled());
  ChkUsageWork->SetChecked(EditUsageWork->Enabled());
  ChkMinute->SetChecked(EditMinute->Enabled());
  ChkAutoStart->SetChecked(taskExists);
}

void TFrmQuorvane::SaveConfig(const std::wstring& Name, int Value) {
  services_.OpenSettings(kSettingsPath)->WriteInteger(Name, Value);
}

void TFrmQuorvane::SaveConfig(const std::wstring& Name, bool Value) {
  services_.OpenSettings(kSettingsPath)->WriteBoolean(Name, Value);
}

void TFrmQuorvane::ChkCleanOnTrayClick(ui::Component&) { SaveConfig(L"cleanontray", ChkCleanOnTray->Checked()); }

bool TFrmQuorvane::RegisterAutoStart(int delaySeconds) {
  if (!services_.ProgramSafeForAutoStart()) {
    services_.RemoveOwnAutoStartTask(kTaskName);
    return false;
  }
  services_.SetAutoStartTask(kTaskName, true, delaySeconds);
  return true;
}

void TFrmQuorvane::ChkAutoStartClick(ui::Component&) {
  if (FRefusingAutoStart) return;
  // A failed initialization leaves COM alone: there is nothing to undo.
  if (!services_.ComInitialize()) return;
  const bool refused = ChkAutoStart->Checked() && !RegisterAutoStart(0);
  if (!ChkAutoStart->Checked()) services_.SetAutoStartTask(kTaskName, false, 0);
  services_.ComUninitialize();
  if (!refused) return;
  FRefusingAutoStart = true;
  ChkAutoStart->SetChecked(false);
  FRefusingAutoStart = false;
  app_.MessageDialog(services_.Translate(kRefusedTaskText), app_.Title, kRefusedTaskStyle);
}

void TFrmQuorvane::ChkUsagePhysClick(ui::Component&) {
  ThresholdCheckClick(*ChkUsagePhys, *EditUsagePhys, L"enabled_usage_phys");
}
void TFrmQuorvane::ChkUsagePageClick(ui::Component&) {
  ThresholdCheckClick(*ChkUsagePage, *EditUsagePage, L"enabled_usage_page");
}
void TFrmQuorvane::ChkUsageWorkClick(ui::Component&) {
  ThresholdCheckClick(*ChkUsageWork, *EditUsageWork, L"enabled_usage_work");
}
void TFrmQuorvane::ChkMinuteClick(ui::Component&) { ThresholdCheckClick(*ChkMinute, *EditMinute, L"enabled_minute"); }

// A threshold or interval change restarts the interval and the spacing from now.
void TFrmQuorvane::ThresholdCheckClick(ui::CheckBox& check, ui::ComboBox& list, const wchar_t* name) {
  list.SetEnabled(check.Checked());
  NextTime = services_.Now();
  SaveConfig(name, list.Enabled());
}

void TFrmQuorvane::LimitChange(ui::ComboBox& list, const wchar_t* name) {
  NextTime = services_.Now();
  SaveConfig(name, list.ItemIndex());
}

void TFrmQuorvane::EditUsagePhysChange(ui::Component&) { LimitChange(*EditUsagePhys, L"limit_usage_phys"); }
void TFrmQuorvane::EditUsagePageChange(ui::Component&) { LimitChange(*EditUsagePage, L"limit_usage_page"); }
void TFrmQuorvane::EditUsageWorkChange(ui::Component&) { LimitChange(*EditUsageWork, L"limit_usage_work"); }
void TFrmQuorvane::EditMinuteChange(ui::Component&) { LimitChange(*EditMinute, L"limit_minute"); }

}  // namespace app
