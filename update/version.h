// Vel.Update: the program's version text and handing addresses to the shell.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace Vel::Update {

using VersionNumbers = std::array<unsigned, 4>;  // major, minor, release, build

// Applies Format's %d placeholders to the numbers in order; without numbers "0.0.0.0".
std::wstring FormatVersion(const std::wstring& Format, const std::optional<VersionNumbers>& numbers);

// The running exe's fixed file version (Windows builds only).
std::optional<VersionNumbers> ReadOwnVersion();
std::wstring GetVersionText(const std::wstring& Format);

// Only web addresses reach the shell; anything else could start a program.
bool IsWebAddress(const std::wstring& target);
// True when the shell took the address.
bool ShellOpen(const std::wstring& Target);

}  // namespace Vel::Update
