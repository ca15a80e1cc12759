// The application object: main form, terminating flag, message boxes and the hand-over of
// work from worker threads to the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/threads.h"
#include "ui/form.h"

namespace ui {

// Raised once, when the program ends. A worker may sleep on it: the wait ends the moment it
// is raised, so no one needs to poll.
class StopSignal {
 public:
  bool Raised() const { return raised_.load(); }
  void Raise();
  // Sleeps up to Ms milliseconds; true when the signal is raised, before or during the wait.
  bool WaitFor(std::int64_t Ms) const;

 private:
  std::atomic<bool> raised_{false};
  mutable platform::Mutex mutex_;
  mutable platform::CondVar cv_;
};

// Procedures handed to the main thread. Queue returns at once; Synchronize returns after the
// procedure ran, or at once when the main thread no longer drains (the program is ending).
class MainThreadQueue {
 public:
  MainThreadQueue() : main_(platform::CurrentThreadId()) {}
  // Called after something was queued, from the queuing thread: nudges the main thread.
  void SetWake(std::function<void()> wake);
  void Queue(std::function<void()> proc);
  void Synchronize(std::function<void()> proc);
  // Main thread: runs everything queued so far; a throwing procedure is dropped, not propagated.
  void Drain();
  // Main thread, at exit: nothing more runs; waiting workers are released.
  void Shutdown();
  bool IsMainThread() const { return platform::CurrentThreadId() == main_; }
  std::size_t Pending() const;

 private:
  struct Task {
    std::function<void()> proc;
    std::shared_ptr<bool> done;  // set for synchronous tasks
  };
  platform::ThreadId main_;
  mutable platform::Mutex mutex_;
  platform::CondVar doneCv_;
  std::deque<Task> tasks_;
  std::function<void()> wake_;
  bool shutdown_ = false;
};

// What the application object needs of the platform.
class ApplicationPlatform {
 public:
  virtual ~ApplicationPlatform() = default;
  virtual int MessageDialog(const std::wstring& text, const std::wstring& caption, unsigned flags) = 0;
  virtual void Restore() = 0;
  virtual NativeHandle Handle() = 0;  // the application's own hidden window
  virtual int MonitorCount() = 0;
};

class Application {
 public:
  explicit Application(ApplicationPlatform& platform)
      : platform_(platform), queue_(std::make_shared<MainThreadQueue>()) {}

  bool Terminated() const { return terminated_->Raised(); }
  void Terminate() { terminated_->Raise(); }
  // For workers that may outlive the application object.
  std::shared_ptr<const StopSignal> TerminatedFlag() const { return terminated_; }

  Form* MainForm() const { return mainForm_; }
  void SetMainForm(Form* form) { mainForm_ = form; }
  bool ShowMainForm = true;
  bool MainFormOnTaskbar = true;
  std::wstring Title;
  // The user interface's language reads right to left: texts take that reading order (labels,
  // check boxes, buttons, message boxes, the tray menu) while every place stays where it is.
  // Set before the form is created.
  bool RightToLeftReading = false;

  int MessageDialog(const std::wstring& text, const std::wstring& caption, unsigned flags) {
    return platform_.MessageDialog(text, caption, flags);
  }
  void Restore() { platform_.Restore(); }
  NativeHandle Handle() { return platform_.Handle(); }
  int MonitorCount() { return platform_.MonitorCount(); }

  const std::shared_ptr<MainThreadQueue>& Queue() const { return queue_; }

 private:
  ApplicationPlatform& platform_;
  std::shared_ptr<StopSignal> terminated_ = std::make_shared<StopSignal>();
  Form* mainForm_ = nullptr;
  std::shared_ptr<MainThreadQueue> queue_;
};

// Starts a detached worker; nothing it throws leaves the thread. False when no thread could
// be made, and the work was not run.
bool StartWorker(std::function<void()> work);

}  // namespace ui
