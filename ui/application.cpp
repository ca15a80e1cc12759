#include "ui/application.h"

namespace ui {

void StopSignal::Raise() {
  {
    std::lock_guard lock(mutex_);
    raised_.store(true);
  }
  cv_.notify_all();
}

bool StopSignal::WaitFor(std::int64_t Ms) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(Ms > 0 ? Ms : 0), [&] { return raised_.load(); });
}

void MainThreadQueue::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

void MainThreadQueue::Queue(std::function<void()> proc) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
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
    std::unique_lock lock(mutex_);
    if (shutdown_) return;
    tasks_.push_back({std::move(proc), done});
    wake = wake_;
  }
  if (wake) wake();
  std::unique_lock lock(mutex_);
  doneCv_.wait(lock, [&] { return *done || shutdown_; });
}

void MainThreadQueue::Drain() {
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty() || shutdown_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task.proc();
    } catch (...) {
    }
    if (task.done) {
      std::lock_guard lock(mutex_);
      *task.done = true;
      doneCv_.notify_all();
    }
  }
}

void MainThreadQueue::Shutdown() {
  std::lock_guard lock(mutex_);
  shutdown_ = true;
  tasks_.clear();
  doneCv_.notify_all();
}

std::size_t MainThreadQueue::Pending() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

bool StartWorker(std::function<void()> work) {
  try {
    std::thread([work = std::move(work)] {
      try {
        work();
      } catch (...) {
      }
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace ui
