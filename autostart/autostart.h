// The logon task that starts the program elevated and hidden in the tray.
#pragma once

#include <string>

namespace Vel::AutoStart::UAC {

// The duration text the task service expects ("PT1M30S"). Minutes are never carried into
// hours; anything not positive is "PT0S".
std::wstring SecondsToDuration(int Seconds);

// The folder of a program file, with its trailing backslash ("D:\Apps\Tool\program.exe" gives
// "D:\Apps\Tool\"); empty when the path holds no backslash.
std::wstring ProgramFolder(const std::wstring& ProgramPath);

// Windows only. The caller initializes COM on its thread around each call. Neither throws;
// every failure is dropped, and IsAutoStartTask then answers false.
bool IsAutoStartTask(const std::wstring& TaskName);
void SetAutoStartTask(const std::wstring& TaskName, bool Enabled, int DelaySeconds);
// Deletes the task only when it starts this very program file (not another copy's).
void RemoveAutoStartTaskOf(const std::wstring& TaskName);
// Whether this program file may be started elevated at every logon: nobody but Administrators,
// SYSTEM and TrustedInstaller can change it or a folder above it.
bool OwnProgramSafeForElevatedTask();

}  // namespace Vel::AutoStart::UAC
