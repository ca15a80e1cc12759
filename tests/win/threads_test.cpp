// The Win32 threads, SRW lock and condition variable under the code base's own thread types.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "platform/threads.h"

namespace {

TEST(PlatformThreads, ThreadsRunJoinAndExcludeEachOther) {
  platform::Mutex mutex;
  long total = 0;
  platform::ThreadId ids[2]{};
  {
    platform::Thread workers[2];
    for (int w = 0; w < 2; ++w)
      ASSERT_TRUE(workers[w].Start([&, w] {
        ids[w] = platform::CurrentThreadId();
        for (int i = 0; i < 200000; ++i) {
          platform::LockGuard lock(mutex);
          total = total + 1;  // a lost update shows as a short total
        }
      }));
    EXPECT_TRUE(workers[0].Joinable());
    workers[0].Join();
    EXPECT_FALSE(workers[0].Joinable());
    workers[0].Join();  // a second join is nothing
  }  // the second worker is joined by its destructor
  EXPECT_EQ(total, 400000);
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_NE(ids[0], platform::CurrentThreadId());
  EXPECT_EQ(platform::CurrentThreadId(), platform::ThreadId(GetCurrentThreadId()));
}

TEST(PlatformThreads, ConditionWakesTheWaiterAndTimesOut) {
  platform::Mutex mutex;
  platform::CondVar cv;
  bool ready = false;
  platform::Thread setter;
  ASSERT_TRUE(setter.Start([&] {
    platform::SleepMs(50);
    platform::LockGuard lock(mutex);
    ready = true;
    cv.NotifyAll();
  }));
  {
    platform::UniqueLock lock(mutex);
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(cv.WaitFor(lock, 10000, [&] { return ready; }));
    EXPECT_LT(GetTickCount64() - start, 5000u);  // woken, not timed out
  }
  setter.Join();

  // Nobody notifies: the wait ends after its time, false, with the lock held again.
  platform::UniqueLock lock(mutex);
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(cv.WaitFor(lock, 120, [] { return false; }));
  EXPECT_GE(GetTickCount64() - start, 100u);
  lock.unlock();
  lock.lock();  // neither deadlocks: the lock was ours again after the wait
}

TEST(PlatformThreads, DetachedThreadRunsOn) {
  std::atomic<bool> ran{false};
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    platform::Thread worker;
    ASSERT_TRUE(worker.Start([&] {
      WaitForSingleObject(done, INFINITE);
      ran = true;
    }));
    worker.Detach();
    EXPECT_FALSE(worker.Joinable());
  }  // going out of scope neither waits nor stops it
  EXPECT_FALSE(ran);
  SetEvent(done);
  for (int i = 0; i < 500 && !ran; ++i) Sleep(10);
  EXPECT_TRUE(ran);
  CloseHandle(done);
}

}  // namespace
