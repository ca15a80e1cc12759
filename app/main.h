// The main window FrmQuorvane: its creation step, closing to the tray, instance commands,
// header pages, links and the tray menu.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/status_format.h"
#include "memory/memory.h"
#include "ui/application.h"
#include "ui/form.h"

namespace app {

using UpdateCallback = std::function<void(bool Accepted, const std::wstring& Response)>;

// The program's settings key, opened for one batch of reads or one write.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual bool ReadBoolean(const std::wstring& Name, bool Default) = 0;
  virtual int ReadInteger(const std::wstring& Name, int Default) = 0;
  virtual void WriteBoolean(const std::wstring& Name, bool Value) = 0;
  virtual void WriteInteger(const std::wstring& Name, int Value) = 0;
};

inline constexpr wchar_t kSettingsPath[] = L"Vantorel\\Quorvane";

// Everything outside the window that the window uses. The Win32 build supplies the real one;
// tests supply recording fakes.
class MainServices {
 public:
  virtual ~MainServices() = default;
  virtual void ApplyAccentLine(ui::Form& form) = 0;
  virtual void TranslateComponent(ui::Component& root) = 0;
  virtual std::wstring Translate(const std::wstring& text) = 0;
  virtual std::wstring GetVersionText(const std::wstring& format) = 0;
  virtual void ShellOpen(const std::wstring& target) = 0;
  virtual bool ComInitialize() = 0;
  virtual void ComUninitialize() = 0;
  virtual void SetAutoStartTask(const std::wstring& name, bool enabled, int delaySeconds) = 0;
  virtual bool IsAutoStartTask(const std::wstring& name) = 0;
  // Whether this program file may be started elevated at logon: nobody but the administrators
  // and the system can change it or a folder above it.
  virtual bool ProgramSafeForAutoStart() = 0;
  // Deletes the logon task only when it starts this very file.
  virtual void RemoveOwnAutoStartTask(const std::wstring& name) = 0;
  virtual std::unique_ptr<SettingsStore> OpenSettings(const std::wstring& path) = 0;
  virtual void VisibleOnShell(ui::TrayIcon& icon, const std::wstring& appName) = 0;
  virtual void HideApplication() = 0;
  virtual void ShowApplication() = 0;
  virtual bool SetPrivilege(const std::wstring& name, bool enable) = 0;
  virtual void GetMemoryStatus(Vel::Memory::TMemoryStatus& status) = 0;
  virtual void CheckUpdate(const std::wstring& url, UpdateCallback callback, int layout) = 0;
  // Local wall-clock time in milliseconds.
  virtual std::int64_t Now() = 0;
  // The user's number separators, read once.
  virtual const NumberFormat& Numbers() = 0;
  virtual bool IsForegroundFullScreen() = 0;
  // The purge, as a procedure a worker may run even after these services are gone.
  virtual std::function<void()> PurgeProcedure() = 0;
  // Runs `work` on a worker thread that ends by itself; false when no thread could be made.
  virtual bool RunWorker(std::function<void()> work) = 0;
  virtual void ShowNotification(ui::TrayIcon& icon, const std::wstring& name, const std::wstring& title,
                                const std::wstring& body) = 0;
};

inline constexpr wchar_t kTaskName[] = L"QuorvaneTaskMachine";
inline constexpr unsigned kQuitQuestionStyle = 0x50124;  // YESNO|ICONQUESTION|DEFBUTTON2|SETFOREGROUND|TOPMOST
inline constexpr int kIdYes = 6;
inline constexpr unsigned kRefusedTaskStyle = 0x10030;  // OK|ICONWARNING|SETFOREGROUND
// Shown when the user ticks "Run on system start" in a copy whose folder others can change.
inline constexpr wchar_t kRefusedTaskText[] =
    L"다른 프로그램이 이 폴더를 바꿀 수 있어 부팅시 실행을 켤 수 없습니다. Quorvane을 Program Files에 설치한 뒤 다시 시도하세요.";

// Link addresses; the hosts are a build-time setting.
std::wstring CopyrightUrl(const std::wstring& version);
std::wstring DonateUrl();
std::wstring LogoUrl();
std::wstring UpdateServiceUrl();

class TFrmQuorvane : public ui::Form {
 public:
  TFrmQuorvane(ui::Application& app, MainServices& services, std::wstring firstArg);

  // Fields shared with the tick, the clean run and the settings page.
  bool FCanClose = false;
  bool FIsRunning = false;
  std::int64_t NextTime = 0;
  ui::TrayIcon* TrayIcon = nullptr;
  std::wstring FmtPhysStatus;
  Vel::Memory::TMemoryStatus Status;

  // Components, reached by their names.
  ui::ToolButton* BtnHome;
  ui::ToolButton* BtnConfig;
  ui::ToolButton* BtnDonate;
  ui::Image* SVGIconImage1;
  ui::PageControl* PnlMain;
  ui::Label* LblPhysStatus;
  ui::Label* LblVirtual;
  ui::Label* LblVirtualStatus;
  ui::Label* LblWorking;
  ui::Label* LblWorkingStatus;
  ui::ProgressBar* ProgressBar;
  ui::Indicator* Indicator;
  ui::Edit* EditInfo;
  ui::Timer* TmrStatus;
  ui::PopupMenu* Popup;
  ui::MenuItem* BtnOpen;
  ui::MenuItem* BtnCopyright;
  ui::MenuItem* BtnClose;
  ui::ImageList* ListIcon;
  ui::Button* BtnClean;
  ui::CheckBox* ChkUsagePhys;
  ui::CheckBox* ChkUsagePage;
  ui::CheckBox* ChkUsageWork;
  ui::CheckBox* ChkMinute;
  ui::CheckBox* ChkCleanOnTray;
  ui::CheckBox* ChkAutoStart;
  ui::ComboBox* EditUsagePhys;
  ui::ComboBox* EditUsagePage;
  ui::ComboBox* EditUsageWork;
  ui::ComboBox* EditMinute;

  void FormCreate(ui::Component& Sender);
  void FormCloseQuery(ui::Component& Sender, bool& CanClose);
  void BtnHomeClick(ui::Component& Sender);
  void SVGIconImage1Click(ui::Component& Sender);
  void EditInfoClick(ui::Component& Sender);
  void BtnOpenClick(ui::Component& Sender);
  void BtnCopyrightClick(ui::Component& Sender);
  void BtnCloseClick(ui::Component& Sender);
  void TmrStatusTimer(ui::Component& Sender);
  void Clean(bool Alarm);
  bool IsRunning() const { return FIsRunning; }
  void SetIsRunning(bool Value);
  void BtnCleanClick(ui::Component& Sender);
  void TrayIconClick(ui::Component& Sender);
  void ShowNotification(const std::wstring& Text);
  void LoadConfig();
  // Settings page: a threshold or interval change restarts the interval and the spacing.
  void ChkUsagePhysClick(ui::Component& Sender);
  void ChkUsagePageClick(ui::Component& Sender);
  void ChkUsageWorkClick(ui::Component& Sender);
  void ChkMinuteClick(ui::Component& Sender);
  void EditUsagePhysChange(ui::Component& Sender);
  void EditUsagePageChange(ui::Component& Sender);
  void EditUsageWorkChange(ui::Component& Sender);
  void EditMinuteChange(ui::Component& Sender);
  void ChkCleanOnTrayClick(ui::Component& Sender);
  void ChkAutoStartClick(ui::Component& Sender);
  // Registers the logon task, unless the program's folder is not safe for it: then an existing
  // task of this file goes and nothing is registered. False when refused.
  bool RegisterAutoStart(int delaySeconds);
  bool FRefusingAutoStart = false;  // while the refused box is unticked again
  void SaveConfig(const std::wstring& Name, int Value);
  void SaveConfig(const std::wstring& Name, bool Value);
  void UpdateCallbackProc(bool Accepted, const std::wstring& Response);
  void WMUser(std::uintptr_t wParam);

  const std::wstring& FirstArg() const { return firstArg_; }

 private:
  bool OnWindowMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);
  void BuildComponents();
  void StatusTick();
  void ThresholdCheckClick(ui::CheckBox& check, ui::ComboBox& list, const wchar_t* name);
  void LimitChange(ui::ComboBox& list, const wchar_t* name);
  template <class T>
  T* Find(const wchar_t* name) {
    return dynamic_cast<T*>(FindComponent(name));
  }

  ui::Application& app_;
  MainServices& services_;
  std::wstring firstArg_;
  // Lets a late update callback or a clean run's completion see whether the window still exists.
  std::shared_ptr<TFrmQuorvane*> callbackContext_;
};

}  // namespace app
