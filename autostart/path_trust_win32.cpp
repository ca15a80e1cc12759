#include "autostart/path_trust_win32.h"

#include <aclapi.h>

namespace Vel::AutoStart::UAC {
namespace {

// NT SERVICE\TrustedInstaller: S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
bool IsTrustedInstaller(PSID sid) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID ti = nullptr;
  if (!AllocateAndInitializeSid(&nt, 6, 80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u, 0, 0, &ti))
    return false;
  const bool same = EqualSid(sid, ti);
  FreeSid(ti);
  return same;
}

bool Trusted(PSID sid) {
  return sid && IsValidSid(sid) &&
         (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
          IsTrustedInstaller(sid));
}

}  // namespace

TPathSecurity ReadSecurity(PSECURITY_DESCRIPTOR Descriptor) {
  TPathSecurity s;
  if (!Descriptor || !IsValidSecurityDescriptor(Descriptor)) return s;
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorOwner(Descriptor, &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(Descriptor, &present, &dacl, &defaulted))
    return s;
  s.Readable = true;
  s.OwnerTrusted = Trusted(owner);
  s.HasDacl = present && dacl;
  if (!s.HasDacl) return s;
  ACL_SIZE_INFORMATION size{};
  if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) {
    s.Readable = false;
    return s;
  }
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) {
      s.Readable = false;
      return s;
    }
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    TGrant g;
    g.InheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    switch (header->AceType) {
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {  // conditional: counted as if its condition held
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        g.Trusted = Trusted(const_cast<DWORD*>(&allowed->SidStart));
        g.Rights = allowed->Mask;
        break;
      }
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        continue;  // a denial never makes it safer to refuse less
      default:
        // Any other allowing layout (object entries, compound ones): read as everything, to
        // anyone, rather than let an unread grant through.
        if (header->AceType == SYSTEM_AUDIT_ACE_TYPE || header->AceType == SYSTEM_ALARM_ACE_TYPE) continue;
        g.Rights = FileRight::AllAccess;
        break;
    }
    s.Grants.push_back(g);
  }
  return s;
}

TPathSecurity ReadPathSecurity(const std::wstring& Path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(Path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return {};
  TPathSecurity s = ReadSecurity(descriptor);
  LocalFree(descriptor);
  const DWORD attributes = GetFileAttributesW(Path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) s.Readable = false;
  else s.ReparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return s;
}

bool ProgramSafeForElevatedTask(const std::wstring& ProgramPath) {
  const std::vector<std::wstring> paths = PathChain(ProgramPath);
  // A network share's permissions are another machine's (its administrators, its share rights,
  // a connection that can be tampered with), and a removable disk can be swapped: fixed local
  // drives only.
  if (paths.empty() || GetDriveTypeW(paths.back().c_str()) != DRIVE_FIXED) return false;
  std::vector<TPathSecurity> chain;
  for (const std::wstring& path : paths) chain.push_back(ReadPathSecurity(path));
  return SafeForElevatedTask(chain);
}

std::optional<bool>& ProgramTrustSeam() {
  static std::optional<bool> verdict;
  return verdict;
}

}  // namespace Vel::AutoStart::UAC
