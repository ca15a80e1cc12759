#include <chrono>

#include "platform/threads.h"

namespace platform {

void Mutex::lock() { mutex_.lock(); }
void Mutex::unlock() { mutex_.unlock(); }

void CondVar::Wait(UniqueLock& lock) { cv_.wait(lock); }
bool CondVar::WaitFor(UniqueLock& lock, std::int64_t Ms) {
  return cv_.wait_for(lock, std::chrono::milliseconds(Ms > 0 ? Ms : 0)) == std::cv_status::no_timeout;
}
void CondVar::NotifyOne() { cv_.notify_one(); }
void CondVar::NotifyAll() { cv_.notify_all(); }

std::uint64_t CondVar::MonotonicMs() {
  return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
}

ThreadId CurrentThreadId() { return std::this_thread::get_id(); }
void SleepMs(std::uint32_t Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

Thread::Thread(Thread&& other) noexcept : thread_(std::move(other.thread_)) {}
Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

bool Thread::Start(std::function<void()> Work) {
  Join();
  try {
    thread_ = std::thread([work = std::move(Work)]() noexcept { work(); });
    return true;
  } catch (...) {
    return false;
  }
}

bool Thread::Joinable() const { return thread_.joinable(); }
void Thread::Join() {
  if (!thread_.joinable()) return;
  // Waiting for itself would never end: a thread that goes with its own Thread lets go instead.
  if (thread_.get_id() == std::this_thread::get_id()) return thread_.detach();
  thread_.join();
}
void Thread::Detach() {
  if (thread_.joinable()) thread_.detach();
}

}  // namespace platform
