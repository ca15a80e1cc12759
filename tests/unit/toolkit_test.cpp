#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>

#include "ui/application.h"
#include "ui/control.h"
#include "ui/decimal_text.h"
#include "ui/form.h"

TEST(Toolkit, CheckBoxClickRunsOnEveryStateChangeComboChangeOnlyFromUser) {
  ui::Form form(nullptr, L"F", L"C");
  auto& check = form.Create<ui::CheckBox>(L"Chk", &form);
  auto& combo = form.Create<ui::ComboBox>(L"Edit", &form);
  int clicks = 0, changes = 0;
  check.OnClick = [&](ui::Component&) { ++clicks; };
  combo.OnChange = [&](ui::Component&) { ++changes; };
  check.SetChecked(true);
  check.SetChecked(true);
  check.Click();
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(check.Checked());
  combo.SetItems({L"5", L"10"});
  combo.SetItemIndex(1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(combo.Text(), L"10");
  combo.SetItemIndex(7);  // no such entry: no selection, empty text
  EXPECT_EQ(combo.Text(), L"");
  combo.UserSelect(0);
  EXPECT_EQ(changes, 1);
}

TEST(Toolkit, ComponentTreeFindsByNameCaseInsensitively) {
  ui::Form form(nullptr, L"F", L"C");
  auto& panel = form.Create<ui::Panel>(L"PnlHead", &form);
  form.Create<ui::Label>(L"LblTitle", &panel);
  EXPECT_NE(form.FindComponent(L"lbltitle"), nullptr);
  EXPECT_EQ(form.FindComponent(L"Nothing"), nullptr);
  EXPECT_EQ(panel.Children().size(), 1u);
}

TEST(MainThreadQueue, QueueAndSynchronizeRunOnTheDrainingThread) {
  ui::MainThreadQueue q;
  std::atomic<int> wakes{0};
  q.SetWake([&] { ++wakes; });
  std::thread::id ranOn;
  bool syncDone = false;
  std::thread worker([&] {
    q.Queue([&] { ranOn = std::this_thread::get_id(); });
    q.Synchronize([] { throw 1; });  // a throwing procedure still releases its waiter
    q.Synchronize([&] { syncDone = true; });
  });
  while (!syncDone) {
    q.Drain();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_GE(wakes.load(), 3);
}

TEST(MainThreadQueue, ShutdownReleasesWaitingWorkers) {
  ui::MainThreadQueue q;
  std::atomic<bool> queued{false};
  q.SetWake([&] { queued = true; });
  bool ran = false;
  std::thread worker([&] { q.Synchronize([&] { ran = true; }); });
  while (!queued) std::this_thread::yield();
  q.Shutdown();
  worker.join();
  EXPECT_FALSE(ran);
  q.Queue([&] { ran = true; });
  q.Drain();
  EXPECT_FALSE(ran);
}

TEST(MainThreadQueue, SynchronizeOnTheMainThreadRunsAtOnce) {
  ui::MainThreadQueue q;
  bool ran = false;
  q.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(DecimalText, MatchesTheRuntimesDigitsAtTheEdges) {
  struct Case {
    long long value;
    int minDigits;
    const wchar_t* text;
  } cases[] = {
      {0, 1, L"0"},        {0, 0, L"0"},
      {7, 2, L"07"},       {1234, 2, L"1234"},
      {-5, 3, L"-005"},    {4294967295LL, 1, L"4294967295"},
      {LLONG_MAX, 1, L"9223372036854775807"},
      {LLONG_MIN, 1, L"-9223372036854775808"},
      {1, 40, L"00000000000000000001"},  // padding stops at the widest number
  };
  for (const auto& c : cases) {
    std::wstring out = L"x";
    ui::AppendDecimal(out, c.value, c.minDigits);
    EXPECT_EQ(out, std::wstring(L"x") + c.text) << c.value << " padded to " << c.minDigits;
  }
  EXPECT_EQ(ui::DecimalText(-42), std::to_wstring(-42));
}

TEST(Toolkit, TrayRetryPausesGrowToAMinuteAndStopAfterFiveMinutes) {
  // Retry, pause in seconds: doubling, at most a minute, the last one trimmed to end at 300 s.
  const std::uint32_t expected[] = {1, 2, 4, 8, 16, 32, 60, 60, 60, 57, 0, 0};
  std::uint32_t total = 0;
  for (int retry = 0; retry < int(std::size(expected)); ++retry) {
    EXPECT_EQ(ui::TrayRetryPause(retry), expected[retry] * 1000) << "retry " << retry;
    total += ui::TrayRetryPause(retry, 1);
  }
  EXPECT_EQ(total, 300u);
  EXPECT_EQ(ui::TrayRetryPause(-1), 0u);
  EXPECT_EQ(ui::TrayRetryPause(INT_MAX), 0u);
  EXPECT_EQ(ui::TrayRetryPause(3, 10), 80u);  // the unit scales every pause
}
