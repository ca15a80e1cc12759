#include <gtest/gtest.h>

#include <memory>

#include "app/instance.h"
#include "app/main.h"
#include "fakes.h"

using app::TFrmQuorvane;

namespace {

using Harness = fakes::MainHarness;

constexpr unsigned kWmUser = 0x0400;  // WM_USER: a second copy's instance command

std::vector<std::wstring> Without(std::vector<std::wstring> log, const std::wstring& prefix) {
  std::erase_if(log, [&](const std::wstring& e) { return e.starts_with(prefix); });
  return log;
}

}  // namespace

TEST(FormCreate, RunsItsStepsInOrder) {
  Harness h(L"/inst");
  h.Create();
  const std::vector<std::wstring> expected{
      L"accent", L"translate-component", L"com-init", L"folder safe?", L"task QuorvaneTaskMachine on 60", L"com-uninit",
      L"com-init", L"task? QuorvaneTaskMachine", L"com-uninit",  // loading the settings page
      L"visible-on-shell Quorvane", L"privilege SeIncreaseQuotaPrivilege",
      L"privilege SeProfileSingleProcessPrivilege", L"snapshot",
      L"check-update https://update.vantorel.com/api.init.php 10"};
  EXPECT_EQ(Without(h.services.log, L"version"), expected);
  EXPECT_EQ(h.form->EditInfo->Caption(), L"버전: 1.9.5");
  EXPECT_EQ(h.form->FmtPhysStatus, L"%.0n MB / %.0n MB (%n%% 사용중)");
  EXPECT_EQ(h.application.Title, L"Quorvane");
  EXPECT_FALSE(h.form->Indicator->Visible());
  EXPECT_EQ(h.form->LblVirtual->FontColor(), 0x808080);
  EXPECT_EQ(h.form->LblWorkingStatus->FontColor(), 0x808080);
  EXPECT_EQ(h.form->LblPhysStatus->FontColor(), -1);
  EXPECT_TRUE(h.form->UsesDesktopFont());
  EXPECT_EQ(h.form->PnlMain->ActivePageIndex(), 0);
  ASSERT_NE(h.form->TrayIcon, nullptr);
  EXPECT_EQ(h.services.shellIcon, h.form->TrayIcon);
  EXPECT_FALSE(h.form->TrayIcon->Visible());  // the shell helper shows it, not the creation step
  EXPECT_EQ(h.form->TrayIcon->ImageIndex(), 0);
  EXPECT_EQ(h.form->TrayIcon->Popup, h.form->Popup);
  EXPECT_EQ(h.form->NextTime, 1000);
  EXPECT_FALSE(h.form->FCanClose);
}

TEST(FormCreate, SwitchesDecideTaskAndHiding) {
  struct Case {
    std::wstring arg;
    bool task, hidden;
  } cases[] = {{L"", false, false}, {L"/start", false, true}, {L"/inst", true, false},
               {L"/inststart", true, true},
               {L"/INST", false, false}, {L"/START", false, false}, {L"/InstStart", false, false}};
  for (const Case& c : cases) {
    Harness h(c.arg);
    h.Create();
    EXPECT_EQ(h.services.Logged(L"task QuorvaneTaskMachine on 60"), c.task) << c.arg;
    EXPECT_EQ(h.services.Logged(L"hide"), c.hidden) << c.arg;
  }
}

TEST(FormCreate, FailedComInitStillUninitializesAndGoesOn) {
  Harness h(L"/inst");
  h.services.comOk = false;
  h.Create();
  EXPECT_FALSE(h.services.Logged(L"task QuorvaneTaskMachine on 60"));
  EXPECT_TRUE(h.services.Logged(L"com-uninit"));
  EXPECT_NE(h.form->TrayIcon, nullptr);
}

TEST(StatusTick, ClearsTheRecordBeforeEachSnapshotAndRearmsTheTimer) {
  Harness h;
  h.Create();
  h.services.nextStatus.TotalWork = 123;
  h.services.nextStatus.UsageWork = 50;
  h.form->TmrStatus->Fire();
  h.form->TmrStatus->Fire();
  EXPECT_EQ(h.services.statusCalls, 3);
  EXPECT_TRUE(h.services.statusSawClearedRecord);
  EXPECT_TRUE(h.form->TmrStatus->Enabled());
}

TEST(CloseQuery, HidesUnlessCanClose) {
  Harness h;
  h.Create();
  h.form->Close();
  EXPECT_FALSE(h.closed);
  EXPECT_EQ(h.services.log.back(), L"hide");
  h.form->FCanClose = true;
  h.form->Close();
  EXPECT_TRUE(h.closed);
}

TEST(QuitQuestion, NoKeepsRunningYesQuits) {
  for (int answer : {7, 2, 6}) {
    Harness h;
    h.Create();
    h.platform.answer = answer;
    h.form->BtnClose->Click();
    EXPECT_EQ(h.platform.boxes.back(), L"정말 종료하시겠습니까?");
    EXPECT_EQ(h.platform.lastFlags, 0x50124u);
    EXPECT_EQ(h.platform.lastCaption, L"Quorvane");
    EXPECT_EQ(h.closed, answer == 6) << answer;
  }
}

TEST(WindowMessages, SessionEndHelpAndInstanceCommands) {
  {
    Harness h;
    h.Create();
    EXPECT_EQ(h.Send(0x11, 0), 1);  // WM_QUERYENDSESSION
    EXPECT_TRUE(h.closed);
  }
  {
    Harness h;
    h.Create();
    EXPECT_EQ(h.Send(0x53, 0), 0);  // WM_HELP
    EXPECT_FALSE(h.closed);
    for (std::uintptr_t w : {0u, 3u, 99u}) h.Send(kWmUser, w);
    EXPECT_FALSE(h.closed);
    h.services.log.clear();
    h.Send(kWmUser, 1);
    EXPECT_EQ(h.services.log, std::vector<std::wstring>{L"show"});
    h.services.log.clear();
    h.Send(kWmUser, 2);
    EXPECT_EQ(h.services.log,
              (std::vector<std::wstring>{L"com-init", L"task QuorvaneTaskMachine off 0", L"com-uninit"}));
    EXPECT_TRUE(h.closed);
  }
  {
    Harness h;
    h.Create();
    h.services.comOk = false;
    h.Send(kWmUser, 2);  // no COM: the task stays, the program quits all the same
    EXPECT_FALSE(h.services.Logged(L"task QuorvaneTaskMachine off 0"));
    EXPECT_TRUE(h.closed);
  }
}

TEST(WindowMessages, InstanceCommandsIgnoredBeforeTheTrayIconExists) {
  for (std::uintptr_t w : {1u, 2u}) {
    Harness h;  // not created yet: TrayIcon unset
    h.Send(kWmUser, w);
    EXPECT_FALSE(h.closed);
    EXPECT_TRUE(h.services.log.empty());
  }
}

TEST(HeaderButtons, SwitchPagesAsARadioPair) {
  Harness h;
  h.Create();
  auto& f = *h.form;
  EXPECT_TRUE(f.BtnHome->Down());
  f.BtnConfig->Click();
  f.BtnConfig->Click();
  EXPECT_EQ(f.PnlMain->ActivePageIndex(), 1);
  EXPECT_TRUE(f.BtnConfig->Down());
  EXPECT_FALSE(f.BtnHome->Down());
  EXPECT_TRUE(f.PnlMain->PageAt(1).Visible());
  EXPECT_FALSE(f.PnlMain->PageAt(0).Visible());
  f.BtnDonate->Click();
  EXPECT_EQ(h.services.log.back(), L"open https://www.vantorel.com/donate?quorvane");
  EXPECT_EQ(f.PnlMain->ActivePageIndex(), 1);
  EXPECT_TRUE(f.BtnConfig->Down());
  EXPECT_FALSE(f.BtnDonate->Down());
  f.BtnHome->Click();
  EXPECT_EQ(f.PnlMain->ActivePageIndex(), 0);
  EXPECT_TRUE(f.BtnHome->Down());
  EXPECT_FALSE(f.BtnConfig->Down());
  // Only the three header names count, in any case.
  h.services.log.clear();
  f.BtnHomeClick(*f.EditInfo);
  EXPECT_EQ(f.PnlMain->ActivePageIndex(), 0);
  EXPECT_TRUE(h.services.log.empty());
}

TEST(Links, AddressesAndMenuItems) {
  Harness h;
  h.Create();
  h.services.log.clear();
  h.form->BtnCopyright->Click();
  h.form->SVGIconImage1->Click();
  h.form->BtnOpen->Click();
  EXPECT_EQ(Without(h.services.log, L"version"),
            (std::vector<std::wstring>{L"open https://www.vantorel.com/quorvane?v=1.9.5",
                                       L"open http://www.vantorel.com/quorvane", L"show"}));
}

TEST(UpdateCallback, SetsHintAndQuitsWhenAccepted) {
  for (bool accepted : {false, true}) {
    Harness h;
    h.Create();
    ASSERT_TRUE(h.services.updateCallback);
    h.services.updateCallback(accepted, L"ignored");
    EXPECT_EQ(h.form->TrayIcon->Hint(), L"Quorvane 1.9.5");
    EXPECT_EQ(h.closed, accepted);
  }
}

TEST(UpdateCallback, LateCallbackAfterTheWindowIsGoneDoesNothing) {
  app::UpdateCallback cb;
  {
    Harness h;
    h.Create();
    cb = h.services.updateCallback;
  }
  cb(true, L"");  // must not touch the freed window
}
