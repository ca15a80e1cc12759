// The main window: its components, its creation step, closing to the tray, instance commands,
// the header's pages, the links and the tray menu. The tick and the settings page have files of
// their own.
#include "app/main.h"

#include "app/instance.h"
#include "app/layout.h"

namespace app {

namespace {
constexpr unsigned kWmQueryEndSession = 0x0011;
constexpr unsigned kWmHelp = 0x0053;
constexpr std::int32_t kGreyCaption = 0x808080;
}  // namespace

TFrmQuorvane::TFrmQuorvane(ui::Application& app, MainServices& services, std::wstring firstArg)
    : ui::Form(nullptr, L"FrmQuorvane", kInstanceName),
      app_(app),
      services_(services),
      firstArg_(std::move(firstArg)) {
  SetCaption(L"Quorvane");
  SetBounds({0, 0, kClientWidth, kClientHeight});
  BuildComponents();
  OnCreate = [this](ui::Component& s) { FormCreate(s); };
  OnCloseQuery = [this](ui::Component& s, bool& c) { FormCloseQuery(s, c); };
  OnMessage = [this](unsigned m, std::uintptr_t w, std::intptr_t l, std::intptr_t& r) {
    return OnWindowMessage(m, w, l, r);
  };
}

void TFrmQuorvane::BuildComponents() {
  for (const LayoutEntry& e : MainLayout()) {
    ui::Control* parent = e.parent ? Find<ui::Control>(e.parent) : this;
    ui::Control* c = nullptr;
    switch (e.kind) {
      case ui::ControlKind::Panel: c = &Create<ui::Panel>(e.name, parent); break;
      case ui::ControlKind::PageControl: c = &Create<ui::PageControl>(e.name, parent); break;
      case ui::ControlKind::Page: c = &static_cast<ui::PageControl*>(parent)->AddPage(e.name); break;
      case ui::ControlKind::ToolBar: c = &Create<ui::ToolBar>(e.name, parent); break;
      case ui::ControlKind::ToolButton: c = &Create<ui::ToolButton>(e.name, parent); break;
      case ui::ControlKind::Label: c = &Create<ui::Label>(e.name, parent); break;
      case ui::ControlKind::Edit: c = &Create<ui::Edit>(e.name, parent); break;
      case ui::ControlKind::Button: c = &Create<ui::Button>(e.name, parent); break;
      case ui::ControlKind::CheckBox: c = &Create<ui::CheckBox>(e.name, parent); break;
      case ui::ControlKind::ComboBox: c = &Create<ui::ComboBox>(e.name, parent); break;
      case ui::ControlKind::ProgressBar: c = &Create<ui::ProgressBar>(e.name, parent); break;
      case ui::ControlKind::Image: c = &Create<ui::Image>(e.name, parent); break;
      case ui::ControlKind::Indicator: c = &Create<ui::Indicator>(e.name, parent); break;
      case ui::ControlKind::GroupBox: c = &Create<ui::GroupBox>(e.name, parent); break;
      case ui::ControlKind::StatusBar: c = &Create<ui::StatusBar>(e.name, parent); break;
      case ui::ControlKind::Form: break;
    }
    if (!c) continue;
    c->SetBounds(e.bounds);
    c->SetCaption(e.caption);
    c->SetTabOrder(e.tabOrder);
  }
  for (const OwnFontEntry& f : MainFonts()) {
    auto* c = Find<ui::Control>(f.name);
    c->SetOwnFont(f.fontName, f.pixelHeight);
    if (auto* label = dynamic_cast<ui::Label*>(c)) label->Centred = f.centred;
  }
  for (const ListEntries& l : MainLists())
    Find<ui::ComboBox>(l.name)->SetItems({l.items.begin(), l.items.end()});

  BtnHome = Find<ui::ToolButton>(L"BtnHome");
  BtnConfig = Find<ui::ToolButton>(L"BtnConfig");
  BtnDonate = Find<ui::ToolButton>(L"BtnDonate");
  SVGIconImage1 = Find<ui::Image>(L"SVGIconImage1");
  SVGIconImage1->Drawing = MakerLogo();
  PnlMain = Find<ui::PageControl>(L"PnlMain");
  LblPhysStatus = Find<ui::Label>(L"LblPhysStatus");
  LblVirtual = Find<ui::Label>(L"LblVirtual");
  LblVirtualStatus = Find<ui::Label>(L"LblVirtualStatus");
  LblWorking = Find<ui::Label>(L"LblWorking");
  LblWorkingStatus = Find<ui::Label>(L"LblWorkingStatus");
  ProgressBar = Find<ui::ProgressBar>(L"ProgressBar");
  Indicator = Find<ui::Indicator>(L"Indicator");
  EditInfo = Find<ui::Edit>(L"EditInfo");
  BtnClean = Find<ui::Button>(L"BtnClean");
  ChkUsagePhys = Find<ui::CheckBox>(L"ChkUsagePhys");
  ChkUsagePage = Find<ui::CheckBox>(L"ChkUsagePage");
  ChkUsageWork = Find<ui::CheckBox>(L"ChkUsageWork");
  ChkMinute = Find<ui::CheckBox>(L"ChkMinute");
  ChkCleanOnTray = Find<ui::CheckBox>(L"ChkCleanOnTray");
  ChkAutoStart = Find<ui::CheckBox>(L"ChkAutoStart");
  EditUsagePhys = Find<ui::ComboBox>(L"EditUsagePhys");
  EditUsagePage = Find<ui::ComboBox>(L"EditUsagePage");
  EditUsageWork = Find<ui::ComboBox>(L"EditUsageWork");
  EditMinute = Find<ui::ComboBox>(L"EditMinute");
  BtnClean->OnClick = [this](ui::Component& s) { BtnCleanClick(s); };
  ChkUsagePhys->OnClick = [this](ui::Component& s) { ChkUsagePhysClick(s); };
  ChkUsagePage->OnClick = [this](ui::Component& s) { ChkUsagePageClick(s); };
  ChkUsageWork->OnClick = [this](ui::Component& s) { ChkUsageWorkClick(s); };
  ChkMinute->OnClick = [this](ui::Component& s) { ChkMinuteClick(s); };
  EditUsagePhys->OnChange = [this](ui::Component& s) { EditUsagePhysChange(s); };
  EditUsagePage->OnChange = [this](ui::Component& s) { EditUsagePageChange(s); };
  EditUsageWork->OnChange = [this](ui::Component& s) { EditUsageWorkChange(s); };
  EditMinute->OnChange = [this](ui::Component& s) { EditMinuteChange(s); };
  ChkCleanOnTray->OnClick = [this](ui::Component& s) { ChkCleanOnTrayClick(s); };
  ChkAutoStart->OnClick = [this](ui::Component& s) { ChkAutoStartClick(s); };

  for (ui::ToolButton* b : {BtnHome, BtnConfig, BtnDonate}) {
    b->OnClick = [this](ui::Component& s) { BtnHomeClick(s); };
  }
  // Only the two page buttons form the radio pair; the donation button never stays down.
  BtnHome->SetGroup(1);
  BtnConfig->SetGroup(1);
  BtnHome->SetDown(true);
  Find<ui::ToolBar>(L"BtnHead")->SetStyle({L"Vantorel", L"Primary", L"Header", 4});
  BtnClean->SetStyle({L"Vantorel", L"Primary", L"Outline", 6});
  PnlMain->SetActivePageIndex(0);
  SVGIconImage1->OnClick = [this](ui::Component& s) { SVGIconImage1Click(s); };
  EditInfo->OnClick = [this](ui::Component& s) { EditInfoClick(s); };

  TmrStatus = &Create<ui::Timer>(L"TmrStatus");
  TmrStatus->OnTimer = [this](ui::Component& s) { TmrStatusTimer(s); };

  Popup = &Create<ui::PopupMenu>(L"Popup");
  Popup->AutoHotkeys = false;
  BtnOpen = &Popup->Add(L"BtnOpen", L"Quorvane", kCmdOpen);
  Popup->Add(L"N2", L"-", kCmdSeparator);
  BtnCopyright = &Popup->Add(L"BtnCopyright", L"만든이 Dunmere", kCmdCopyright);
  BtnClose = &Popup->Add(L"BtnClose", L"종료", kCmdClose);
  BtnOpen->OnClick = [this](ui::Component& s) { BtnOpenClick(s); };
  BtnCopyright->OnClick = [this](ui::Component& s) { BtnCopyrightClick(s); };
  BtnClose->OnClick = [this](ui::Component& s) { BtnCloseClick(s); };

  ListIcon = &Create<ui::ImageList>(L"ListIcon");
  ListIcon->Count = 2;
}

void TFrmQuorvane::FormCreate(ui::Component&) {
  callbackContext_ = std::make_shared<TFrmQuorvane*>(this);
  services_.ApplyAccentLine(*this);
  services_.TranslateComponent(*this);
  app_.Title = Caption();
  EditInfo->SetCaption(services_.Translate(L"버전") + L": " + services_.GetVersionText(L"%d.%d.%d"));
  FmtPhysStatus = services_.Translate(L"%.0n MB / %.0n MB (%n%% 사용중)");
  UseDesktopFont();
  Indicator->SetVisible(false);
  for (ui::Label* l : {LblVirtual, LblVirtualStatus, LblWorking, LblWorkingStatus})
    l->SetFontColor(kGreyCaption);
  PnlMain->SetActivePageIndex(0);
  if (RegistersTask(firstArg_)) {
    // Refused silently: the program starts as usual.
    if (services_.ComInitialize()) RegisterAutoStart(60);
    services_.ComUninitialize();
  }
  LoadConfig();
  ui::TrayIcon& icon = Create<ui::TrayIcon>(L"TrayIcon");
  TrayIcon = &icon;
  icon.Images = ListIcon;
  icon.Popup = Popup;
  icon.OnClick = [this](ui::Component& s) { TrayIconClick(s); };
  services_.VisibleOnShell(icon, L"Quorvane");
  icon.SetImageIndex(0);
  FCanClose = false;
  NextTime = services_.Now();
  services_.SetPrivilege(L"SeIncreaseQuotaPrivilege", true);
  services_.SetPrivilege(L"SeProfileSingleProcessPrivilege", true);
  TmrStatusTimer(*this);
  if (StartsHidden(firstArg_)) services_.HideApplication();
  std::weak_ptr<TFrmQuorvane*> context = callbackContext_;
  services_.CheckUpdate(UpdateServiceUrl(), [context](bool accepted, const std::wstring& response) {
    if (auto form = context.lock()) (*form)->UpdateCallbackProc(accepted, response);
  }, 10);
}

void TFrmQuorvane::FormCloseQuery(ui::Component&, bool& CanClose) {
  CanClose = FCanClose;  // DiagnosticMode is never set in this program
  if (!CanClose) services_.HideApplication();
}

bool TFrmQuorvane::OnWindowMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t,
                                   std::intptr_t& result) {
  switch (msg) {
    case kWmUser:
      WMUser(wParam);
      result = 0;
      return true;
    case kWmQueryEndSession:
      FCanClose = true;
      Close();
      result = 1;
      return true;
    case kWmHelp:
      result = 0;
      return true;
    default:
      return false;
  }
}

void TFrmQuorvane::WMUser(std::uintptr_t wParam) {
  if (!TrayIcon) return;
  if (wParam == kInstanceShow) {
    services_.ShowApplication();
  } else if (wParam == kInstanceQuit) {
    if (services_.ComInitialize()) services_.SetAutoStartTask(kTaskName, false, 0);
    services_.ComUninitialize();
    FCanClose = true;
    Close();
  }
}

void TFrmQuorvane::BtnHomeClick(ui::Component& Sender) {
  const std::wstring& name = Sender.Name();
  auto* button = dynamic_cast<ui::ToolButton*>(&Sender);
  if (ui::SameText(name, L"BtnHome")) {
    if (button) button->SetDown(true);
    PnlMain->SetActivePageIndex(0);
  } else if (ui::SameText(name, L"BtnConfig")) {
    if (button) button->SetDown(true);
    PnlMain->SetActivePageIndex(1);
  } else if (ui::SameText(name, L"BtnDonate")) {
    services_.ShellOpen(DonateUrl());
  }
}

void TFrmQuorvane::SVGIconImage1Click(ui::Component&) { services_.ShellOpen(LogoUrl()); }

void TFrmQuorvane::EditInfoClick(ui::Component&) { ClearActiveControl(); }

void TFrmQuorvane::BtnOpenClick(ui::Component&) { services_.ShowApplication(); }

void TFrmQuorvane::BtnCopyrightClick(ui::Component&) {
  services_.ShellOpen(CopyrightUrl(services_.GetVersionText(L"%d.%d.%d")));
}

void TFrmQuorvane::BtnCloseClick(ui::Component&) {
  const int answer = app_.MessageDialog(services_.Translate(L"정말 종료하시겠습니까?"), app_.Title,
                                     kQuitQuestionStyle);
  if (answer != kIdYes) return;
  FCanClose = true;
  Close();
}

void TFrmQuorvane::UpdateCallbackProc(bool Accepted, const std::wstring&) {
  if (Accepted) {
    FCanClose = true;
    Close();
  }
  if (TrayIcon) TrayIcon->SetHint(Caption() + L" " + services_.GetVersionText(L"%d.%d.%d"));
}

}  // namespace app
