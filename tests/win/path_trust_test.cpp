// The logon task's folder check on security descriptors as Windows ships them, written in SDDL,
// and on this system's real files, where Wine refuses every folder.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "autostart/path_trust_win32.h"
#include "setup_security.h"  // made by the build from the setup's script

namespace UAC = Vel::AutoStart::UAC;

namespace {

#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
#define ME L"S-1-5-21-1004336348-1177238915-682003330-1001"

// C:\ as Windows 10 ships it: Authenticated Users may make folders there, nothing more.
const wchar_t kRoot[] =
    L"O:SYG:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;0x4;;;AU)"
    L"(A;OICIIO;SDGXGWGR;;;AU)";
const wchar_t kProgramFiles[] =
    L"O:" TI L"G:" TI L"D:PAI(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)"
    L"(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)"
    L"(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)";
// A folder the elevated setup made below it, and a file in it: inherited grants only.
const wchar_t kInstalledFolder[] =
    L"O:BAG:SYD:AI(A;CIIOID;GA;;;" TI L")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)"
    L"(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)(A;ID;0x1200a9;;;AC)";
const wchar_t kInstalledFile[] = L"O:BAG:SYD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1200a9;;;AC)";
// The user's Downloads: the user owns it and holds everything.
const wchar_t kUsers[] =
    L"O:SYG:SYD:PAI(A;OICIIO;GA;;;CO)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;WD)";
const wchar_t kProfile[] = L"O:SYG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" ME L")";
const wchar_t kDownloads[] = L"O:" ME L"G:" ME L"D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;" ME L")";
const wchar_t kDownloadedFile[] = L"O:" ME L"G:" ME L"D:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;FA;;;" ME L")";
// The same file, copied there by an administrator: still the user's to replace.
const wchar_t kDownloadedByAdmin[] = L"O:BAG:SYD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;FA;;;" ME L")";
// C:\Tools made by an administrator, with its folder and file for administrators only.
const wchar_t kTools[] = L"O:BAG:SYD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
const wchar_t kToolsLetsUsersDelete[] = L"O:BAG:SYD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;;0x40;;;BU)";
const wchar_t kToolFolder[] = L"O:BAG:SYD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)";
const wchar_t kToolFolderInheritOnly[] =
    L"O:BAG:SYD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;OICIIO;FA;;;BU)";
const wchar_t kToolFolderUsersWrite[] =
    L"O:BAG:SYD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;OICI;GW;;;BU)";
const wchar_t kToolFile[] = L"O:BAG:SYD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)";
// A file on a FAT drive: an owner, no DACL at all (Wine's SDDL reader makes "NO_ACCESS_CONTROL"
// an empty DACL instead, so it is built by hand).
UAC::TPathSecurity WithoutDacl() {
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size);
  SetSecurityDescriptorOwner(&sd, admins, FALSE);
  return UAC::ReadSecurity(&sd);
}

// An administrators' folder with one allowing entry of another layout, an object entry for
// Users (built byte by byte: Wine knows neither "OA" in SDDL nor AddAccessAllowedObjectAce).
UAC::TPathSecurity WithObjectEntry() {
  BYTE admins[SECURITY_MAX_SID_SIZE], users[SECURITY_MAX_SID_SIZE];
  DWORD a = sizeof admins, u = sizeof users;
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &a);
  CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &u);
  alignas(DWORD) BYTE aclBytes[512];
  ACL* acl = reinterpret_cast<ACL*>(aclBytes);
  GUID type = {0xbf967aba, 0x0de6, 0x11d0, {0xa2, 0x85, 0x00, 0xaa, 0x00, 0x30, 0x49, 0xe2}};
  EXPECT_TRUE(InitializeAcl(acl, sizeof aclBytes, ACL_REVISION_DS));
  EXPECT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION_DS, FILE_ALL_ACCESS, admins));
  BYTE entry[sizeof(ACE_HEADER) + 2 * sizeof(DWORD) + sizeof(GUID) + SECURITY_MAX_SID_SIZE] = {};
  const DWORD sidLength = GetLengthSid(users), mask = 0x1200a9, flags = ACE_OBJECT_TYPE_PRESENT;
  const WORD size = WORD(sizeof(ACE_HEADER) + 2 * sizeof(DWORD) + sizeof(GUID) + sidLength);
  ACE_HEADER header{ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0, size};
  BYTE* at = entry;
  for (auto [part, length] : {std::pair<const void*, std::size_t>{&header, sizeof header}, {&mask, sizeof mask},
                              {&flags, sizeof flags}, {&type, sizeof type}, {users, sidLength}}) {
    std::memcpy(at, part, length);
    at += length;
  }
  EXPECT_TRUE(AddAce(acl, ACL_REVISION_DS, MAXDWORD, entry, size));
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorOwner(&sd, admins, FALSE);
  SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  return UAC::ReadSecurity(&sd);
}

UAC::TPathSecurity FromSddl(const wchar_t* sddl) {
  if (!sddl) return WithoutDacl();
  PSECURITY_DESCRIPTOR sd = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr))
      << GetLastError();
  UAC::TPathSecurity s = UAC::ReadSecurity(sd);
  LocalFree(sd);
  return s;
}

TEST(AutoStartFolderCheck, OnlyAFolderNobodyButTheTrustedThreeCanChangePasses) {
  struct Case {
    const char* name;
    std::vector<const wchar_t*> chain;  // the file, its folder, ..., the root; null: no DACL
    bool safe;
  } cases[] = {
      {"installed under Program Files", {kInstalledFile, kInstalledFolder, kInstalledFolder, kProgramFiles, kRoot}, true},
      {"in the user's Downloads", {kDownloadedFile, kDownloads, kProfile, kUsers, kRoot}, false},
      {"copied into Downloads by an administrator", {kDownloadedByAdmin, kDownloads, kProfile, kUsers, kRoot}, false},
      {"an administrators' folder", {kToolFile, kToolFolder, kTools, kRoot}, true},
      {"whose parent lets Users delete children", {kToolFile, kToolFolder, kToolsLetsUsersDelete, kRoot}, false},
      {"a grant to Users only for what is made below", {kToolFile, kToolFolderInheritOnly, kTools, kRoot}, true},
      {"Users may write in the folder", {kToolFile, kToolFolderUsersWrite, kTools, kRoot}, false},
      // /D=C:\Apps\Quorvane: the setup made C:\Apps and protected it; the rest inherits.
      {"a folder the setup made for /D=", {kToolFile, kToolFolder, QUORVANE_SETUP_FOLDER_SDDL, kRoot}, true},
      {"on a drive without permissions (FAT)", {nullptr, nullptr, nullptr}, false},
  };
  for (const Case& c : cases) {
    std::vector<UAC::TPathSecurity> chain;
    for (const wchar_t* sddl : c.chain) chain.push_back(FromSddl(sddl));
    EXPECT_EQ(UAC::SafeForElevatedTask(chain), c.safe) << c.name;
  }
  // What was read of the descriptors, for one of each kind.
  const UAC::TPathSecurity pf = FromSddl(kProgramFiles);
  EXPECT_TRUE(pf.Readable && pf.OwnerTrusted && pf.HasDacl);
  ASSERT_EQ(pf.Grants.size(), 11u);
  EXPECT_TRUE(pf.Grants[1].Trusted && pf.Grants[1].InheritOnly);
  EXPECT_FALSE(pf.Grants[6].Trusted);
  EXPECT_EQ(pf.Grants[6].Rights, 0x1200a9u);
  EXPECT_FALSE(FromSddl(kDownloads).OwnerTrusted);
  // An entry of a layout not read is taken as everything, to anyone: the folder is refused.
  const UAC::TPathSecurity object = WithObjectEntry();
  ASSERT_EQ(object.Grants.size(), 2u);
  EXPECT_FALSE(object.Grants[1].Trusted);
  EXPECT_FALSE(UAC::SafeForElevatedTask({FromSddl(kToolFile), object, FromSddl(kTools), FromSddl(kRoot)}));
  const UAC::TPathSecurity fat = WithoutDacl();
  EXPECT_TRUE(fat.Readable && fat.OwnerTrusted);
  EXPECT_FALSE(fat.HasDacl);
}

// Wine makes every file's security up, with the user's own account in full control: this very
// test program's folder is refused, as any folder is there.
TEST(AutoStartFolderCheck, UnderWineEveryRealFolderIsRefused) {
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ASSERT_GT(n, 0u);
  const UAC::TPathSecurity own = UAC::ReadPathSecurity(exe);
  EXPECT_TRUE(own.Readable);
  EXPECT_FALSE(own.ReparsePoint);
  EXPECT_FALSE(UAC::ProgramSafeForElevatedTask(exe));
  EXPECT_FALSE(UAC::ReadPathSecurity(L"C:\\no such folder\\x.exe").Readable);
  // A network share is another machine's to change, whatever its permissions say.
  EXPECT_FALSE(UAC::ProgramSafeForElevatedTask(L"\\\\server\\share\\Quorvane.exe"));
}

}  // namespace
