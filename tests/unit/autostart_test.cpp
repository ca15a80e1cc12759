#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "autostart/autostart.h"
#include "autostart/path_trust.h"

using Vel::AutoStart::UAC::ProgramFolder;
using Vel::AutoStart::UAC::SecondsToDuration;

TEST(SecondsToDuration, MinutesAndSecondsWithoutHours) {
  const struct {
    int seconds;
    const wchar_t* text;
  } cases[] = {
      {1, L"PT1S"},          {45, L"PT45S"},        {59, L"PT59S"},
      {60, L"PT1M"},         {61, L"PT1M1S"},       {90, L"PT1M30S"},
      {3600, L"PT60M"},      {3601, L"PT60M1S"},    {86400, L"PT1440M"},
      {INT_MAX, L"PT35791394M7S"},
  };
  for (const auto& c : cases) EXPECT_EQ(SecondsToDuration(c.seconds), c.text) << c.seconds;
}

TEST(SecondsToDuration, NothingPositiveIsZeroSeconds) {
  for (int seconds : {0, -1, -60, -90, INT_MIN}) EXPECT_EQ(SecondsToDuration(seconds), L"PT0S") << seconds;
}

TEST(ProgramFolder, UpToAndIncludingTheLastBackslash) {
  const struct {
    const wchar_t* path;
    const wchar_t* folder;
  } cases[] = {
      {L"D:\\Apps\\Tool\\program.exe", L"D:\\Apps\\Tool\\"},
      {L"C:\\Quorvane.exe", L"C:\\"},
      {L"\\\\server\\share\\dir\\Quorvane.exe", L"\\\\server\\share\\dir\\"},
      {L"\\\\?\\C:\\a b\\Quorvane.exe", L"\\\\?\\C:\\a b\\"},
      {L"Quorvane.exe", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramFolder(c.path), c.folder);
}

TEST(AutoStartPathTrust, TheChainRunsFromTheFileToItsRoot) {
  using Vel::AutoStart::UAC::PathChain;
  using V = std::vector<std::wstring>;
  EXPECT_EQ(PathChain(L"C:\\Program Files (x86)\\Vantorel\\Quorvane\\Quorvane.exe"),
            (V{L"C:\\Program Files (x86)\\Vantorel\\Quorvane\\Quorvane.exe", L"C:\\Program Files (x86)\\Vantorel\\Quorvane",
               L"C:\\Program Files (x86)\\Vantorel", L"C:\\Program Files (x86)", L"C:\\"}));
  EXPECT_EQ(PathChain(L"d:\\q.exe"), (V{L"d:\\q.exe", L"d:\\"}));
  EXPECT_EQ(PathChain(L"\\\\server\\share\\apps\\q.exe"),
            (V{L"\\\\server\\share\\apps\\q.exe", L"\\\\server\\share\\apps", L"\\\\server\\share\\"}));
  for (const wchar_t* bad : {L"", L"q.exe", L"C:q.exe", L"C:\\", L"C:\\a\\..\\q.exe", L"C:\\a\\\\q.exe",
                             L"C:\\a\\.\\q.exe", L"\\\\?\\C:\\q.exe", L"\\\\.\\pipe\\x", L"\\\\server\\q.exe",
                             L"\\\\\\share\\q.exe", L"\\q.exe", L"C:\\a\\"})
    EXPECT_TRUE(PathChain(bad).empty()) << std::wstring(bad);
}

TEST(AutoStartPathTrust, OnlyTheTrustedThreeMayChangeTheFileOrAnyFolderAbove) {
  using namespace Vel::AutoStart::UAC;
  const TGrant admins{true, false, FileRight::AllAccess};
  const TPathSecurity safe{true, false, true, true, {admins, {false, false, 0x1200a9}}};  // Users read and run
  const std::vector<TPathSecurity> installed(4, safe);
  EXPECT_TRUE(SafeForElevatedTask(installed));
  EXPECT_FALSE(SafeForElevatedTask({safe}));  // no root: no chain
  struct Case {
    const char* name;
    std::size_t at;  // which link of the chain changes
    TPathSecurity security;
    bool safe;
  } cases[] = {
      {"the file's owner is the user", 0, {true, false, false, true, {admins}}, false},
      {"the folder's security cannot be read", 1, {false, false, true, true, {admins}}, false},
      {"a folder is a junction", 2, {true, true, true, true, {admins}}, false},
      {"no DACL (a FAT drive)", 3, {true, false, true, false, {}}, false},
      {"Users may write the file", 0, {true, false, true, true, {admins, {false, false, FileRight::WriteData}}}, false},
      {"Users may append to the file", 0, {true, false, true, true, {admins, {false, false, FileRight::AppendData}}}, false},
      {"Users hold GENERIC_WRITE on the file", 0, {true, false, true, true, {admins, {false, false, 0x40000000}}}, false},
      {"Users hold GENERIC_ALL on the folder", 1, {true, false, true, true, {admins, {false, false, 0x10000000}}}, false},
      {"Users may add files to the folder", 1, {true, false, true, true, {admins, {false, false, FileRight::WriteData}}}, false},
      {"Users may delete in the folder", 1, {true, false, true, true, {admins, {false, false, FileRight::DeleteChild}}}, false},
      {"Users may change a folder above's permissions", 3, {true, false, true, true, {admins, {false, false, FileRight::WriteDac}}}, false},
      {"Users may delete children above", 2, {true, false, true, true, {admins, {false, false, FileRight::DeleteChild}}}, false},
      {"Users may take a folder above", 3, {true, false, true, true, {admins, {false, false, FileRight::WriteOwner}}}, false},
      // Adding files to a folder above replaces nothing of ours; nor does a grant only for what is made below.
      {"Users may add files above", 2, {true, false, true, true, {admins, {false, false, FileRight::WriteData | 0x4}}}, true},
      {"an inherit-only grant", 1, {true, false, true, true, {admins, {false, true, 0x10000000}}}, true},
      {"appending to the folder (a subfolder) is harmless", 1, {true, false, true, true, {admins, {false, false, 0x4}}}, true},
  };
  for (const Case& c : cases) {
    std::vector<TPathSecurity> chain = installed;
    chain[c.at] = c.security;
    EXPECT_EQ(SafeForElevatedTask(chain), c.safe) << c.name;
  }
}
