#include "ui/application.h"

namespace ui {

void StopSignal::Raise() {
  {
    platform::LockGuard lock(mutex_);
    raised_.store(true);
  }
  cv_.NotifyAll();
}

bool StopSignal::WaitFor(std::int64_t Ms) const {
  platform::UniqueLock lock(mutex_);
  return cv_.WaitFor(lock, Ms, [&] { return raised_.load(); });
}

void MainThreadQueue::SetWake(std::function<void()> wake) {
  platform::LockGuard lock(mutex_);
  wake_ = std::move(wake);
}

void MainThreadQueue::Queue(std::function<void()> proc) {
  std::function<void()> wake;
  {
    platform::LockGuard lock(mutex_);
    if (shutdown_) return;
    tasks_.push_back({std::move(proc), nullptr});
    wake = wake_;
  }
  if (wake) wake();
}

void MainThreadQueue::Synchronize(std::function<void()> proc) {
  if (IsMainThread()) {
    proc();
    return;
  }
  auto done = std::make_shared<bool>(false);
  std::function<void()> wake;
  {
    platform::UniqueLock lock(mutex_);
    if (shutdown_) return;
    tasks_.push_back({std::move(proc), done});
    wake = wake_;
  }
  if (wake) wake();
  platform::UniqueLock lock(mutex_);
  doneCv_.Wait(lock, [&] { return *done || shutdown_; });
}

void MainThreadQueue::Drain() {
  for (;;) {
    Task task;
    {
      platform::LockGuard lock(mutex_);
      if (tasks_.empty() || shutdown_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task.proc();
    } catch (...) {
    }
    if (task.done) {
      platform::LockGuard lock(mutex_);
      *task.done = true;
      doneCv_.NotifyAll();
    }
  }
}

void MainThreadQueue::Shutdown() {
  platform::LockGuard lock(mutex_);
  shutdown_ = true;
  tasks_.clear();
  doneCv_.NotifyAll();
}

std::size_t MainThreadQueue::Pending() const {
  platform::LockGuard lock(mutex_);
  return tasks_.size();
}

bool StartWorker(std::function<void()> work) {
  try {
    platform::Thread thread;
    if (!thread.Start([work = std::move(work)] {
          try {
            work();
          } catch (...) {
          }
        }))
      return false;
    thread.Detach();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ui
