// Whether the program's file may be started elevated at every logon by a task. It may only when
// nobody but Administrators, SYSTEM and TrustedInstaller can change it, its folder, or any folder
// above: otherwise any program the user runs unelevated (or another user) could put something of
// its own there, and the task would run that as administrator at the next logon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vel::AutoStart::UAC {

// File rights, as the system's generic rights map onto them.
namespace FileRight {
inline constexpr std::uint32_t WriteData = 0x0002;  // on a folder: add a file
inline constexpr std::uint32_t AppendData = 0x0004;
inline constexpr std::uint32_t DeleteChild = 0x0040;
inline constexpr std::uint32_t Delete = 0x00010000;
inline constexpr std::uint32_t WriteDac = 0x00040000;
inline constexpr std::uint32_t WriteOwner = 0x00080000;
inline constexpr std::uint32_t AllAccess = 0x001F01FF;
inline constexpr std::uint32_t GenericWrite = 0x00120116;  // FILE_GENERIC_WRITE
inline constexpr std::uint32_t GenericRead = 0x00120089;
inline constexpr std::uint32_t GenericExecute = 0x001200A0;
}  // namespace FileRight

// Maps GENERIC_ALL, GENERIC_WRITE, GENERIC_READ and GENERIC_EXECUTE onto file rights.
std::uint32_t MapGenericFileRights(std::uint32_t mask);

// One grant of a security descriptor's DACL, as the decision needs it.
struct TGrant {
  bool Trusted = false;      // to Administrators, SYSTEM or TrustedInstaller
  bool InheritOnly = false;  // applies only to what is made below, not to this object
  std::uint32_t Rights = 0;  // as written; generic rights are mapped by the decision
};

// What is known of one file or folder on the way from the program's file to its drive's root.
struct TPathSecurity {
  bool Readable = false;      // its security could be read
  bool ReparsePoint = false;  // a link or junction: what it points at can be changed
  bool OwnerTrusted = false;  // owned by Administrators, SYSTEM or TrustedInstaller
  bool HasDacl = false;       // no DACL (a FAT drive) lets everyone do everything
  std::vector<TGrant> Grants;  // allowing entries only; a denying one never makes it safer to refuse less
};

enum class PathRole { Program, Folder, Above };

// The rights that let someone other than the trusted three replace what the task starts.
std::uint32_t DangerousRights(PathRole role);

// Chain: the program's file first, then its folder, then each folder above up to the root.
bool SafeForElevatedTask(const std::vector<TPathSecurity>& Chain);

// The paths of that chain for a full path ("C:\A\B\p.exe": itself, "C:\A\B", "C:\A", "C:\";
// "\\server\share\p.exe" ends at "\\server\share\"). Empty for anything else: a relative path,
// one with "." or ".." or an empty part, a device path.
std::vector<std::wstring> PathChain(const std::wstring& Path);

}  // namespace Vel::AutoStart::UAC
