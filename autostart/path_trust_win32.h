// The security of real files and folders, read for the logon task's decision.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "autostart/path_trust.h"

namespace Vel::AutoStart::UAC {

// One object's owner and DACL as the decision needs them (generic rights left as written).
TPathSecurity ReadSecurity(PSECURITY_DESCRIPTOR Descriptor);
// A file's or folder's own, with whether it is a reparse point.
TPathSecurity ReadPathSecurity(const std::wstring& Path);
// The whole decision for a program file on this system.
bool ProgramSafeForElevatedTask(const std::wstring& ProgramPath);

// Wine makes every file's security up from Unix permissions, with the user's own account in
// full control everywhere: there, every folder is refused. Tests that need the other verdict
// say so here.
std::optional<bool>& ProgramTrustSeam();

}  // namespace Vel::AutoStart::UAC
