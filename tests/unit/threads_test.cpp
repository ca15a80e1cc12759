// The hand-overs between workers and the main thread with real threads: the clean run, the
// update check and its stop request, the hold request and the tray worker. These also run
// under ThreadSanitizer (the thread_tests build of scripts/test).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "fakes.h"
#include "shell/trayicon.h"
#include "update/update.h"

namespace {

using Clock = std::chrono::steady_clock;

// The main thread's loop: drains what workers hand over until done() or the deadline.
class MainLoop {
 public:
  explicit MainLoop(ui::MainThreadQueue& queue) : queue_(queue) {
    queue_.SetWake([this] {
      std::lock_guard lock(mutex_);
      woken_ = true;
      cv_.notify_all();
    });
  }
  ~MainLoop() { queue_.SetWake(nullptr); }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      queue_.Drain();
      if (done()) return true;
      std::unique_lock lock(mutex_);
      if (!cv_.wait_until(lock, deadline, [&] { return woken_; })) return done();
      woken_ = false;
    }
  }

 private:
  ui::MainThreadQueue& queue_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool woken_ = false;
};

TEST(Threads, CleanRunsOnAWorkerAndCompletesOnTheMainThread) {
  fakes::MainHarness h;
  h.services.realWorkers = true;
  h.Create();
  MainLoop loop(*h.application.Queue());
  for (int run = 1; run <= 20; ++run) {
    h.services.now += 1000;
    h.form->BtnCleanClick(*h.form->BtnClean);
    EXPECT_TRUE(h.form->IsRunning());
    ASSERT_TRUE(loop.RunUntil([&] { return !h.form->IsRunning(); }));
    EXPECT_EQ(h.services.cleans.load(), run);
    EXPECT_EQ(h.form->NextTime, h.services.now);
    EXPECT_TRUE(h.form->BtnClean->Enabled());
  }
}

TEST(Threads, AWindowGoneBeforeItsCleanEndsIsLeftAlone) {
  auto h = std::make_unique<fakes::MainHarness>();
  h->services.realWorkers = true;
  h->Create();
  auto queue = h->application.Queue();
  h->form->BtnCleanClick(*h->form->BtnClean);
  h->form.reset();  // the program ends while the purge runs
  MainLoop loop(*queue);
  EXPECT_TRUE(loop.RunUntil([&] { return h->services.cleans.load() == 1 && queue->Pending() == 0; }));
  queue->Shutdown();
}

class FailingHttp final : public Vel::Update::HttpApi {
 public:
  std::atomic<int> calls{0};
  Vel::Update::HttpResult Get(const std::wstring&, const std::wstring&, const Vel::Update::THeaders&, std::size_t,
                              std::string&) override {
    ++calls;
    return Vel::Update::HttpResult::Failed;
  }
};

class SilentPrompt final : public Vel::Update::UpdatePrompt {
 public:
  std::atomic<int> shown{0};
  bool UpdateDialog(const std::wstring&, const Vel::Update::TUpdateAnswer&) override { return ++shown, false; }
  void ShowUpdateStatus(const std::wstring&) override { ++shown; }
};

TEST(Threads, AStopRequestEndsAPausingCheckAtOnce) {
  ui::MainThreadQueue queue;
  auto stop = std::make_shared<ui::StopSignal>();
  auto http = std::make_shared<FailingHttp>();
  auto prompt = std::make_shared<SilentPrompt>();
  Vel::Update::TCheckContext ctx;
  ctx.Http = http;
  ctx.Clock = Vel::Update::SignalPauseClock();
  ctx.Headers = [] { return Vel::Update::CheckHeaders(L"1.9.5.0", L"en", false, L"ID"); };
  ctx.Prompt = prompt;
  ctx.Queue = std::shared_ptr<ui::MainThreadQueue>(&queue, [](ui::MainThreadQueue*) {});
  ctx.Stop = stop;
  std::thread stopper([&] {
    while (http->calls.load() == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // well into the first pause
    stop->Raise();
  });
  const auto start = Clock::now();
  // Without a callback the caller waits for the worker; it ends without a hand-over.
  Vel::Update::CheckUpdate(ctx, L"https://h/api.init.php", nullptr, 10);
  const auto took = Clock::now() - start;
  stopper.join();
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_EQ(http->calls.load(), 1);
  EXPECT_EQ(prompt->shown.load(), 0);
  EXPECT_EQ(queue.Pending(), 0u);
}

class RecordingHttp final : public Vel::Update::HttpApi {
 public:
  Vel::Update::HttpResult Get(const std::wstring& Url, const std::wstring&, const Vel::Update::THeaders& Headers,
                              std::size_t, std::string& Body) override {
    std::lock_guard lock(mutex);
    urls.push_back(Url);
    headers.push_back(Headers);
    cv.notify_all();
    Body = "{}";
    return Vel::Update::HttpResult::Answered;
  }
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::wstring> urls;
  std::vector<Vel::Update::THeaders> headers;
};

TEST(Threads, TheHoldRequestGoesOnItsOwnWorkerWhileTheMainThreadGoesOn) {
  ui::MainThreadQueue queue;
  RecordingHttp http;
  Vel::Update::TCheckContext ctx;
  ctx.Http = std::shared_ptr<Vel::Update::HttpApi>(&http, [](Vel::Update::HttpApi*) {});
  ctx.Clock = Vel::Update::SignalPauseClock();
  ctx.Queue = std::shared_ptr<ui::MainThreadQueue>(&queue, [](ui::MainThreadQueue*) {});
  Vel::Update::CheckUpdate(ctx, L"https://h/api.init.php", nullptr, 10);  // sets the address
  for (int i = 0; i < 8; ++i)
    ASSERT_TRUE(ui::StartWorker([&] { Vel::Update::SendHoldRequest(http, Vel::Update::UpdateURL(), L"1.9.5.0"); }));
  // Meanwhile the main thread starts another check, which replaces the address under the worker.
  Vel::Update::CheckUpdate(ctx, L"https://h/api.init.php", nullptr, 10);
  std::unique_lock lock(http.mutex);
  ASSERT_TRUE(http.cv.wait_for(lock, std::chrono::seconds(10), [&] { return http.urls.size() == 10; }));
  for (std::size_t i = 0; i < http.urls.size(); ++i) EXPECT_EQ(http.urls[i], L"https://h/api.init.php");
}

class ShellAppearsLater final : public Vel::TrayIcon::ShellApi {
 public:
  std::atomic<int> polls{0};
  int appearsAfter = 3;
  bool TaskbarExists() override { return ++polls > appearsAfter; }
  std::uint64_t TickCount64() override { return 0; }
  void Sleep(unsigned) override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
  void ShowWindow(ui::NativeHandle, int) override {}
  bool IsWindow(ui::NativeHandle) override { return true; }
  bool IsIconic(ui::NativeHandle) override { return false; }
  ui::NativeHandle ForegroundWindow() override { return 0; }
  unsigned WindowThread(ui::NativeHandle) override { return 0; }
  bool AttachThreadInput(unsigned, unsigned, bool) override { return true; }
  void BringWindowToTop(ui::NativeHandle) override {}
  void SetForegroundWindow(ui::NativeHandle) override {}
  unsigned ForegroundLockTimeout() override { return 0; }
  void SetForegroundLockTimeout(unsigned) override {}
  unsigned MajorVersion() override { return 10; }
};

TEST(Threads, TheTrayWorkerShowsTheIconOnlyThroughTheMainThread) {
  fakes::AppPlatform platform;
  ui::Application app(platform);
  ui::Form form(nullptr, L"FrmQuorvane", L"TFrmQuorvane");
  auto& icon = form.Create<ui::TrayIcon>(L"TrayIcon");
  ShellAppearsLater shell;
  MainLoop loop(*app.Queue());
  Vel::TrayIcon::VisibleOnShell(app, icon, L"Quorvane", shell);
  ASSERT_TRUE(loop.RunUntil([&] { return icon.Visible(); }));
  EXPECT_EQ(icon.Hint(), L"Quorvane");
  EXPECT_GT(shell.polls.load(), shell.appearsAfter);

  // A program that ends while the worker waits: the worker stops, nothing is handed over.
  ShellAppearsLater never;
  never.appearsAfter = 1 << 30;
  auto& second = form.Create<ui::TrayIcon>(L"TrayIcon2");
  std::thread worker([&] {
    Vel::TrayIcon::WaitForShell(app.TerminatedFlag(), *app.Queue(), second.Lifetime(), &second, L"Quorvane", never);
  });
  while (never.polls.load() < 3) std::this_thread::yield();
  app.Terminate();
  worker.join();
  EXPECT_FALSE(loop.RunUntil([&] { return second.Visible(); }, std::chrono::milliseconds(100)));
}

}  // namespace
