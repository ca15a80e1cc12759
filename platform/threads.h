// Threads, a mutex and a condition variable for the whole code base. The native build uses the
// standard ones (so ThreadSanitizer sees them); the Windows build uses Win32 threads, SRW locks
// and condition variables, which needs no pthreads runtime in the exe.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>  // std::lock_guard, which works with any lockable

#ifndef _WIN32
#include <condition_variable>
#include <thread>
#endif

namespace platform {

class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();

 private:
  friend class CondVar;
#ifdef _WIN32
  void* lock_ = nullptr;  // an SRWLOCK: one pointer, zero when free
#else
  std::mutex mutex_;
#endif
};

using LockGuard = std::lock_guard<Mutex>;

// A lock that can be let go and taken again. Not std::unique_lock: that one throws
// std::system_error, whose chain of strings and messages the exe would otherwise carry.
class UniqueLock {
 public:
  explicit UniqueLock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
  ~UniqueLock() {
    if (owns_) mutex_.unlock();
  }
  UniqueLock(const UniqueLock&) = delete;
  UniqueLock& operator=(const UniqueLock&) = delete;
  void lock() {
    mutex_.lock();
    owns_ = true;
  }
  void unlock() {
    owns_ = false;
    mutex_.unlock();
  }
  Mutex& mutex() const { return mutex_; }

 private:
  Mutex& mutex_;
  bool owns_ = true;
};

class CondVar {
 public:
  CondVar() = default;
  CondVar(const CondVar&) = delete;
  CondVar& operator=(const CondVar&) = delete;

  void Wait(UniqueLock& lock);
  // False once Ms milliseconds have passed; may also return early, as any condition wait.
  bool WaitFor(UniqueLock& lock, std::int64_t Ms);
  void NotifyOne();
  void NotifyAll();

  template <class Pred>
  void Wait(UniqueLock& lock, Pred ready) {
    while (!ready()) Wait(lock);
  }
  // The value of ready() when the wait ends: at once, when it becomes true, or after Ms.
  template <class Pred>
  bool WaitFor(UniqueLock& lock, std::int64_t Ms, Pred ready) {
    const std::uint64_t deadline = MonotonicMs() + std::uint64_t(Ms > 0 ? Ms : 0);
    while (!ready()) {
      const std::uint64_t now = MonotonicMs();
      if (now >= deadline) return ready();
      WaitFor(lock, std::int64_t(deadline - now));
    }
    return true;
  }

 private:
  static std::uint64_t MonotonicMs();
#ifdef _WIN32
  void* cv_ = nullptr;  // a CONDITION_VARIABLE: one pointer, zero when idle
#else
  std::condition_variable_any cv_;
#endif
};

#ifdef _WIN32
using ThreadId = std::uint32_t;
#else
using ThreadId = std::thread::id;
#endif
ThreadId CurrentThreadId();
void SleepMs(std::uint32_t Ms);

// A thread that runs one procedure. Unlike std::thread, a thread that cannot be made is a
// result, not an exception; and a Thread still running when it goes is joined, not fatal.
// Anything the procedure lets escape ends the program, as with std::thread.
class Thread {
 public:
  Thread() = default;
  ~Thread() { Join(); }
  Thread(Thread&& other) noexcept;
  Thread& operator=(Thread&& other) noexcept;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when no thread could be made; Work then has not run.
  bool Start(std::function<void()> Work);
  bool Joinable() const;
  void Join();
  void Detach();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  std::thread thread_;
#endif
};

}  // namespace platform
