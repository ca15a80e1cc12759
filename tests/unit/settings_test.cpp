#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"

namespace {

using Writes = std::vector<std::wstring>;

struct Settings : ::testing::Test {
  fakes::MainHarness h;
  app::TFrmQuorvane& F() { return *h.form; }
};

TEST_F(Settings, AFreshInstallationShowsTheDefaultsAndWritesNothing) {
  h.Create();
  EXPECT_EQ(h.services.settingsPath, L"Vantorel\\Quorvane");
  for (auto [check, list, text] : {std::tuple{F().ChkUsagePhys, F().EditUsagePhys, L"90"},
                                   std::tuple{F().ChkUsagePage, F().EditUsagePage, L"90"},
                                   std::tuple{F().ChkUsageWork, F().EditUsageWork, L"90"},
                                   std::tuple{F().ChkMinute, F().EditMinute, L"30"}}) {
    EXPECT_FALSE(check->Checked()) << check->Name();
    EXPECT_FALSE(list->Enabled()) << list->Name();
    EXPECT_EQ(list->Text(), text) << list->Name();
  }
  EXPECT_FALSE(F().ChkCleanOnTray->Checked());
  EXPECT_FALSE(F().ChkAutoStart->Checked());
  EXPECT_TRUE(h.services.settingWrites.empty());
}

TEST_F(Settings, StoredSettingsLoadAndCheckedBoxesWriteThemselvesAgain) {
  h.services.settings = {{L"enabled_usage_phys", 2}, {L"limit_usage_phys", 4}, {L"cleanontray", 1},
                         {L"enabled_minute", 0},     {L"limit_minute", 0},     {L"limit_usage_work", 9}};
  h.services.taskExists = true;
  h.services.now = 5000;
  h.Create();
  EXPECT_TRUE(F().ChkUsagePhys->Checked()) << "a Boolean stored as 2 is true";
  EXPECT_TRUE(F().EditUsagePhys->Enabled());
  EXPECT_EQ(F().EditUsagePhys->Text(), L"70");
  EXPECT_FALSE(F().ChkMinute->Checked());
  EXPECT_EQ(F().EditMinute->Text(), L"5");
  EXPECT_EQ(F().EditUsageWork->ItemIndex(), -1) << "an index that names no entry selects nothing";
  EXPECT_TRUE(F().ChkCleanOnTray->Checked());
  EXPECT_TRUE(F().ChkAutoStart->Checked());
  EXPECT_EQ(h.services.settingWrites, (Writes{L"cleanontray=1", L"enabled_usage_phys=1"}));
  EXPECT_EQ(h.services.settings[L"limit_usage_work"], 9) << "left as it is until the user picks";
  EXPECT_TRUE(h.services.Logged(L"task QuorvaneTaskMachine on 0")) << "an existing task is registered again";
}

TEST_F(Settings, UserChangesAreWrittenAtOnce) {
  h.Create();
  h.services.now = 90'000;
  F().EditMinute->UserSelect(0);
  F().EditUsagePhys->UserSelect(6);
  F().ChkMinute->Click();
  EXPECT_TRUE(F().EditMinute->Enabled());
  EXPECT_EQ(F().NextTime, 90'000);
  F().ChkMinute->Click();
  EXPECT_FALSE(F().EditMinute->Enabled());
  EXPECT_EQ(F().EditMinute->Text(), L"5") << "a greyed list keeps its selection";
  h.services.now = 95'000;
  F().ChkCleanOnTray->Click();
  EXPECT_EQ(F().NextTime, 90'000) << "clean-on-tray does not restart the interval";
  EXPECT_EQ(h.services.settingWrites, (Writes{L"limit_minute=0", L"limit_usage_phys=6", L"enabled_minute=1",
                                              L"enabled_minute=0", L"cleanontray=1"}));
  // A code change of a list's selection is no user change: nothing is written.
  F().EditUsagePage->SetItemIndex(0);
  EXPECT_EQ(h.services.settingWrites.size(), 5u);
}

TEST_F(Settings, RunAtStartRegistersOrDeletesTheTask) {
  h.Create();
  h.services.log.clear();
  F().ChkAutoStart->Click();
  F().ChkAutoStart->Click();
  EXPECT_EQ(h.services.log, (Writes{L"com-init", L"folder safe?", L"task QuorvaneTaskMachine on 0", L"com-uninit",
                                    L"com-init", L"task QuorvaneTaskMachine off 0", L"com-uninit"}));
  h.services.log.clear();
  h.services.comOk = false;
  F().ChkAutoStart->Click();
  EXPECT_EQ(h.services.log, Writes{L"com-init"}) << "without COM the task is left as it was";
  EXPECT_TRUE(F().ChkAutoStart->Checked());
}

// A copy in a folder others can change (Downloads, a USB stick) registers no elevated task.
TEST_F(Settings, AFolderOthersCanChangeGetsNoLogonTask) {
  h.services.folderSafe = false;
  h.Create();
  h.services.log.clear();
  F().ChkAutoStart->Click();  // the user ticks it
  EXPECT_FALSE(F().ChkAutoStart->Checked());
  EXPECT_EQ(h.services.log,
            (Writes{L"com-init", L"folder safe?", L"task QuorvaneTaskMachine off if ours", L"com-uninit"}));
  ASSERT_EQ(h.platform.boxes, Writes{h.services.Translate(app::kRefusedTaskText)});
  EXPECT_EQ(h.platform.lastFlags, app::kRefusedTaskStyle);
  EXPECT_EQ(h.platform.lastCaption, h.application.Title);
}

TEST_F(Settings, ATaskFoundAtStartFromAFolderOthersCanChangeGoesSilently) {
  h.services.folderSafe = false;
  h.services.taskExists = true;
  h.Create();
  EXPECT_FALSE(F().ChkAutoStart->Checked());
  EXPECT_TRUE(h.platform.boxes.empty());
  const Writes& log = h.services.log;
  EXPECT_NE(std::find(log.begin(), log.end(), L"task QuorvaneTaskMachine off if ours"), log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), L"task QuorvaneTaskMachine on 0"), log.end()) << "registered again";

  // With /inst: refused silently too, and the program starts as usual.
  fakes::MainHarness inst(L"/inst");
  inst.services.folderSafe = false;
  inst.Create();
  EXPECT_TRUE(inst.platform.boxes.empty());
  EXPECT_EQ(std::vector<std::wstring>(inst.services.log.begin() + 3, inst.services.log.begin() + 7),
            (Writes{L"com-init", L"folder safe?", L"task QuorvaneTaskMachine off if ours", L"com-uninit"}));
  EXPECT_FALSE(inst.closed);
}

}  // namespace
