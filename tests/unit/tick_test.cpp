#include <gtest/gtest.h>

#include "app/fullscreen.h"
#include "app/status_format.h"
#include "fakes.h"

using app::FormatStatus;
using app::NumberFormat;
using app::ToMiB;

namespace {

constexpr std::uint64_t MiB = 1048576;

NumberFormat German() {
  NumberFormat nf;
  wcscpy(nf.Decimal, L",");
  wcscpy(nf.Thousand, L".");
  return nf;
}

TEST(StatusFormat, MiBRoundsHalvesToEven) {
  struct Case {
    std::uint64_t bytes;
    double mib;
  };
  for (const Case c : {Case{0, 0}, Case{16ull << 30, 16384}, Case{2 * MiB + MiB / 2, 2}, Case{3 * MiB + MiB / 2, 4},
                       Case{3 * MiB + MiB / 2 - 1, 3}, Case{~0ull, 17592186044416.0}}) {
    EXPECT_EQ(ToMiB(c.bytes), c.mib) << c.bytes;
  }
  EXPECT_EQ(app::RoundHalfEven(80.5L), 80);
  EXPECT_EQ(app::RoundHalfEven(81.5L), 82);
}

TEST(StatusFormat, DirectivesWithTheLocaleSeparators) {
  NumberFormat indian;
  indian.Groups[0] = 3;
  indian.Groups[1] = 2;
  indian.GroupCount = 2;
  NumberFormat oneGroup;
  oneGroup.RepeatLast = false;
  struct Case {
    const wchar_t* format;
    std::initializer_list<double> args;
    NumberFormat nf;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"%.0n MB / %.0n MB (%n%% 사용중)", {6123, 16384, 37.375}, NumberFormat{}, L"6,123 MB / 16,384 MB (37.38% 사용중)"},
      {L"%.0n MB (%n%%)", {1234567, 5.0}, German(), L"1.234.567 MB (5,00%)"},
      {L"%.0n MB (%n%%)", {0, 0}, NumberFormat{}, L"0 MB (0.00%)"},
      {L"%.0n", {12345678}, indian, L"1,23,45,678"},
      {L"%.0n", {12345678}, oneGroup, L"12345,678"},
      {L"%n%% of %x", {99.999}, NumberFormat{}, L"100.00% of %x"},
      {L"%n and %n", {1}, NumberFormat{}, L"1.00 and "},
  };
  for (const auto& c : cases) {
    std::wstring out = L"stale";
    FormatStatus(c.format, c.args, c.nf, out);
    EXPECT_EQ(out, c.expected) << c.format;
  }
  EXPECT_EQ(app::WholeNumberOr(L"80", 100), 80);
  EXPECT_EQ(app::WholeNumberOr(L"", 100), 100);
  EXPECT_EQ(app::WholeNumberOr(L"8x", 1440), 1440);
}

// A scripted foreground window on a 1920 x 1080 monitor.
struct FakeWindows : app::WindowQueries {
  Handle foreground = 10;
  std::wstring cls = L"GameWindow";
  app::ScreenRect window{0, 0, 1920, 1080};
  bool monitorOk = true;
  bool maximisedWithCaption = false;
  Handle Foreground() override { return foreground; }
  Handle Desktop() override { return 1; }
  void ClassName(Handle, wchar_t* name) override { wcsncpy(name, cls.c_str(), 255); }
  bool MonitorRect(Handle, app::ScreenRect& r) override {
    r = {0, 0, 1920, 1080};
    return monitorOk;
  }
  bool WindowRect(Handle, app::ScreenRect& r) override {
    r = window;
    return true;
  }
  bool MaximisedWithCaption(Handle) override { return maximisedWithCaption; }
};

TEST(FullScreen, OnlyAProgramCoveringItsMonitorCounts) {
  struct Case {
    const char* name;
    void (*setup)(FakeWindows&);
    bool expected;
  };
  const Case cases[] = {
      {"full screen", [](FakeWindows&) {}, true},
      {"larger than the monitor", [](FakeWindows& w) { w.window = {-8, -8, 1928, 1088}; }, true},
      {"one pixel short", [](FakeWindows& w) { w.window = {0, 0, 1920, 1079}; }, false},
      {"no foreground window", [](FakeWindows& w) { w.foreground = 0; }, false},
      {"the desktop", [](FakeWindows& w) { w.foreground = 1; }, false},
      {"Progman", [](FakeWindows& w) { w.cls = L"Progman"; }, false},
      {"WorkerW", [](FakeWindows& w) { w.cls = L"WorkerW"; }, false},
      {"class names are case-sensitive", [](FakeWindows& w) { w.cls = L"progman"; }, true},
      {"no monitor information", [](FakeWindows& w) { w.monitorOk = false; }, false},
      // A maximised window with a title bar, its invisible frame past every edge (auto-hidden
      // taskbar, or a second monitor): a browser, not a game.
      {"maximised with a caption",
       [](FakeWindows& w) {
         w.window = {-8, -8, 1928, 1088};
         w.maximisedWithCaption = true;
       },
       false},
      {"maximised with a caption, exactly the monitor",
       [](FakeWindows& w) { w.maximisedWithCaption = true; }, false},
  };
  for (const auto& c : cases) {
    FakeWindows w;
    c.setup(w);
    EXPECT_EQ(app::IsForegroundFullScreen(w), c.expected) << c.name;
  }
}

// The main window created at t0, with a clock the test moves.
struct Tick : ::testing::Test {
  fakes::MainHarness h;
  static constexpr std::int64_t t0 = 1'000'000;

  void SetUp() override {
    h.services.now = t0;
    h.Create();
  }
  void At(double secondsAfterStart) { h.services.now = t0 + std::int64_t(secondsAfterStart * 1000); }
  void Usage(float phys, float page = 0, float work = 0) {
    auto& s = h.services.nextStatus;
    s.UsagePhys = phys;
    s.UsagePage = page;
    s.UsageWork = work;
  }
  static void Select(ui::CheckBox* check, ui::ComboBox* list, const wchar_t* item) {
    check->SetChecked(true);
    for (std::size_t i = 0; i < list->Items().size(); ++i)
      if (list->Items()[i] == item) list->SetItemIndex(int(i));
  }
  // Runs one tick; true when it started a clean.
  bool TickStartsClean() {
    const std::size_t before = h.services.workers.size();
    h.form->TmrStatus->Fire();
    EXPECT_TRUE(h.form->TmrStatus->Enabled());
    return h.services.workers.size() > before;
  }
};

TEST_F(Tick, WritesTheStatusLinesAndTheBar) {
  auto& s = h.services.nextStatus;
  s.TotalPhys = 16ull << 30;
  s.AvailPhys = (16ull << 30) - 6123 * MiB;
  s.UsagePhys = 37.375f;
  s.TotalPage = 20000 * MiB;
  s.AvailPage = 10000 * MiB;
  s.UsagePage = 50;
  s.TotalWork = 300 * MiB;
  s.AvailWork = 0;
  s.UsageWork = 80.5f;
  h.form->TmrStatus->Fire();
  EXPECT_EQ(h.form->LblPhysStatus->Caption(), L"6,123 MB / 16,384 MB (37.38% 사용중)");
  EXPECT_EQ(h.form->LblVirtualStatus->Caption(), L"10,000 MB (50.00%)");
  EXPECT_EQ(h.form->LblWorkingStatus->Caption(), L"300 MB (80.50%)");
  EXPECT_EQ(h.form->ProgressBar->Position(), 37);
  s.UsagePhys = 80.5f;
  h.form->TmrStatus->Fire();
  EXPECT_EQ(h.form->ProgressBar->Position(), 80);  // halves to even
  EXPECT_TRUE(h.services.statusSawClearedRecord);
}

TEST_F(Tick, ThresholdsAndSpacing) {
  Select(h.form->ChkUsagePhys, h.form->EditUsagePhys, L"80");
  Usage(80.0f);
  At(299.9);
  EXPECT_FALSE(TickStartsClean()) << "within 300 s of start";
  At(300);
  EXPECT_TRUE(TickStartsClean()) << "exactly at the limit";
  EXPECT_FALSE(TickStartsClean()) << "a run is in progress";
  At(310);
  h.services.FinishWorker();
  EXPECT_EQ(h.form->NextTime, h.services.now) << "reset when the run completes";
  At(609.9);
  EXPECT_FALSE(TickStartsClean()) << "within 300 s of the clean's end";
  At(610);
  Usage(79.99f);
  EXPECT_FALSE(TickStartsClean()) << "below the limit";
}

TEST_F(Tick, ASettingsChangeRestartsTheSpacing) {
  Select(h.form->ChkUsagePhys, h.form->EditUsagePhys, L"80");
  Usage(85);
  At(1000);
  h.form->EditUsagePhys->UserSelect(0);  // "30"
  EXPECT_EQ(h.form->NextTime, h.services.now);
  At(1299.9);
  EXPECT_FALSE(TickStartsClean());
  At(1300);
  EXPECT_TRUE(TickStartsClean());
  h.services.FinishWorker();
  At(2000);
  h.form->ChkMinute->SetChecked(true);  // a check box counts as well
  EXPECT_EQ(h.form->NextTime, h.services.now);
  At(2299);
  EXPECT_FALSE(TickStartsClean());
}

TEST_F(Tick, AnyCheckedConditionSufficesUncheckedOnesAreIgnored) {
  At(1000);
  Usage(95, 95, 95);
  EXPECT_FALSE(TickStartsClean()) << "nothing checked";
  Select(h.form->ChkUsageWork, h.form->EditUsageWork, L"90");
  Usage(10, 10, 90);
  At(1300);
  EXPECT_TRUE(TickStartsClean());
}

TEST_F(Tick, IntervalCountsWholeSeconds) {
  Select(h.form->ChkMinute, h.form->EditMinute, L"5");
  At(299.9);
  EXPECT_FALSE(TickStartsClean());
  At(300);
  EXPECT_TRUE(TickStartsClean());
}

TEST_F(Tick, ClockSetBackCountsTheDistance) {
  Select(h.form->ChkMinute, h.form->EditMinute, L"5");
  At(-299);
  EXPECT_FALSE(TickStartsClean());
  At(-301);
  EXPECT_TRUE(TickStartsClean());
}

TEST_F(Tick, ListWithoutSelectionNeedsAFullHundred) {
  h.form->EditUsagePhys->SetItemIndex(-1);  // a stored index that names no entry
  h.form->ChkUsagePhys->SetChecked(true);
  At(300);
  Usage(99.9f);
  EXPECT_FALSE(TickStartsClean());
  Usage(100);
  EXPECT_TRUE(TickStartsClean());
}

TEST_F(Tick, FullScreenForegroundBlocks) {
  Select(h.form->ChkUsagePhys, h.form->EditUsagePhys, L"30");
  Usage(50);
  At(300);
  h.services.fullScreen = true;
  EXPECT_FALSE(TickStartsClean());
  h.services.fullScreen = false;
  EXPECT_TRUE(TickStartsClean());
}

TEST_F(Tick, StatusKeepsUpdatingDuringARun) {
  h.form->BtnClean->Click();
  Usage(42);
  h.form->TmrStatus->Fire();
  EXPECT_EQ(h.form->ProgressBar->Position(), 42);
  EXPECT_EQ(h.services.workers.size(), 1u);
}

TEST_F(Tick, CleanRunShowsItsStateAndCompletes) {
  auto* btn = h.form->BtnClean;
  auto* icon = h.form->TrayIcon;
  EXPECT_EQ(btn->Caption(), L"정리하기");
  btn->Click();
  EXPECT_TRUE(h.form->IsRunning());
  EXPECT_EQ(btn->Caption(), L"정리중 ...");
  EXPECT_FALSE(btn->Enabled());
  EXPECT_EQ(icon->ImageIndex(), 1);
  EXPECT_EQ(h.services.cleans.load(), 0) << "the purge runs on the worker";
  h.form->Clean(false);
  EXPECT_EQ(h.services.workers.size(), 1u) << "one run at a time";
  h.services.cleanThrows = true;
  At(5);
  h.services.FinishWorker();
  EXPECT_EQ(h.services.cleans.load(), 1);
  EXPECT_FALSE(h.form->IsRunning()) << "a failed purge still completes";
  EXPECT_EQ(btn->Caption(), L"정리하기");
  EXPECT_TRUE(btn->Enabled());
  EXPECT_EQ(icon->ImageIndex(), 0);
  EXPECT_EQ(h.form->NextTime, t0 + 5000);
  EXPECT_TRUE(h.services.notifications.empty()) << "the button's run says nothing";
}

TEST_F(Tick, TrayClickCleansOrShows) {
  auto* icon = h.form->TrayIcon;
  icon->Click();
  EXPECT_TRUE(h.services.Logged(L"show"));
  EXPECT_TRUE(h.services.workers.empty());

  h.services.log.clear();
  h.form->ChkCleanOnTray->SetChecked(true);
  icon->Click();
  ASSERT_EQ(h.services.workers.size(), 1u);
  icon->Click();
  EXPECT_EQ(h.services.workers.size(), 1u) << "no second run";
  EXPECT_FALSE(h.services.Logged(L"show")) << "nor is the window shown";
  h.services.FinishWorker();
  EXPECT_EQ(h.services.notifications, std::vector<std::wstring>{L"Quorvane|Quorvane|메모리를 정리하였습니다."});
}

TEST_F(Tick, SettingTheRunningStateToItselfTouchesNothing) {
  h.form->BtnClean->SetCaption(L"custom");
  h.form->SetIsRunning(false);
  EXPECT_EQ(h.form->BtnClean->Caption(), L"custom");
}

TEST_F(Tick, ARunWithoutAWorkerStillEnds) {
  h.services.workersFail = true;
  At(7);
  h.form->BtnClean->Click();
  EXPECT_FALSE(h.form->IsRunning());
  EXPECT_TRUE(h.form->BtnClean->Enabled());
  EXPECT_EQ(h.form->NextTime, t0 + 7000);
}

TEST(CleanRun, CompletionAfterTheWindowIsGoneDoesNothing) {
  fakes::MainHarness h;
  h.Create();
  h.form->BtnClean->Click();
  auto work = h.services.workers.front();
  h.form.reset();
  work();  // must not touch the freed window
  EXPECT_EQ(h.services.cleans.load(), 1);
}

}  // namespace
