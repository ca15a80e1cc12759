// The task operations against a given task service, so they can run against a stand-in.
#pragma once

#include <string>
#include "autostart/TaskSchedApi.h"
#include "platform/threads.h"

namespace Vel::AutoStart::UAC {

// Both start by connecting Service; neither throws.
bool IsAutoStartTask(ITaskService* Service, const std::wstring& TaskName) noexcept;
void SetAutoStartTask(ITaskService* Service, const std::wstring& TaskName, bool Enabled, int DelaySeconds,
                      const std::wstring& ProgramPath) noexcept;
// Deletes the task only when it starts ProgramPath.
void RemoveAutoStartTaskOf(ITaskService* Service, const std::wstring& TaskName, const std::wstring& ProgramPath) noexcept;

// Whether a logon task exists, asked on a thread of its own from the moment this is made. The
// Task Scheduler's answer is the slowest step of a start (over a second while a fresh session
// starts the service), and this way it comes while the window is being built.
class EarlyTaskQuery {
 public:
  explicit EarlyTaskQuery(std::wstring TaskName);
  ~EarlyTaskQuery();  // waits for the answer
  EarlyTaskQuery(const EarlyTaskQuery&) = delete;
  EarlyTaskQuery& operator=(const EarlyTaskQuery&) = delete;

  const std::wstring& TaskName() const { return name_; }
  // Waits for the answer; false also when COM or the service failed.
  bool Exists();

 private:
  std::wstring name_;
  bool exists_ = false;  // written by the thread, read after joining it
  platform::Thread thread_;
};

}  // namespace Vel::AutoStart::UAC
