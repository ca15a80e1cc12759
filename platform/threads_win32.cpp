#include <windows.h>
#include <process.h>

#include <memory>

#include "platform/threads.h"

namespace platform {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {
SRWLOCK* Srw(void*& slot) { return reinterpret_cast<SRWLOCK*>(&slot); }
CONDITION_VARIABLE* Cv(void*& slot) { return reinterpret_cast<CONDITION_VARIABLE*>(&slot); }

// noexcept: what the procedure lets escape ends the program here, as std::thread would.
unsigned __stdcall Run(void* arg) noexcept {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(arg));
  (*work)();
  return 0;
}
}  // namespace

void Mutex::lock() { AcquireSRWLockExclusive(Srw(lock_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(Srw(lock_)); }

void CondVar::Wait(UniqueLock& lock) {
  SleepConditionVariableSRW(Cv(cv_), Srw(lock.mutex().lock_), INFINITE, 0);
}
bool CondVar::WaitFor(UniqueLock& lock, std::int64_t Ms) {
  // INFINITE is 0xFFFFFFFF: longer waits are cut just short of it, and the caller waits again.
  const DWORD wait = Ms <= 0 ? 0 : Ms >= 0xFFFFFFFELL ? 0xFFFFFFFEu : DWORD(Ms);
  return SleepConditionVariableSRW(Cv(cv_), Srw(lock.mutex().lock_), wait, 0) != 0;
}
void CondVar::NotifyOne() { WakeConditionVariable(Cv(cv_)); }
void CondVar::NotifyAll() { WakeAllConditionVariable(Cv(cv_)); }
std::uint64_t CondVar::MonotonicMs() { return GetTickCount64(); }

ThreadId CurrentThreadId() { return GetCurrentThreadId(); }
void SleepMs(std::uint32_t Ms) { Sleep(Ms); }

Thread::Thread(Thread&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    Join();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool Thread::Start(std::function<void()> Work) {
  Join();
  auto work = std::make_unique<std::function<void()>>(std::move(Work));
  // _beginthreadex, not CreateThread, so the C runtime's per-thread state is set up and freed.
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, Run, work.get(), 0, nullptr);
  if (!handle) return false;
  work.release();  // the thread owns it now
  handle_ = reinterpret_cast<void*>(handle);
  return true;
}

bool Thread::Joinable() const { return handle_ != nullptr; }
void Thread::Join() {
  if (!handle_) return;
  // Waiting for itself would never end: a thread that goes with its own Thread lets go instead.
  if (GetThreadId(handle_) == GetCurrentThreadId()) return Detach();
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}
void Thread::Detach() {
  if (!handle_) return;
  CloseHandle(handle_);
  handle_ = nullptr;
}

}  // namespace platform
