// The task operations against a given task service, so they can run against a stand-in.
#pragma once

#include <string>

#include "autostart/TaskSchedApi.h"

namespace Vel::AutoStart::UAC {

// Both start by connecting Service; neither throws.
bool IsAutoStartTask(ITaskService* Service, const std::wstring& TaskName) noexcept;
void SetAutoStartTask(ITaskService* Service, const std::wstring& TaskName, bool Enabled, int DelaySeconds,
                      const std::wstring& ProgramPath) noexcept;

}  // namespace Vel::AutoStart::UAC
