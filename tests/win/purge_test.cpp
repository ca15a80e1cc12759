// The purge and the token privileges against the real process token and ntdll.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "memory/purge.h"

namespace {

// The privilege's attributes in this process's token; empty when the token does not hold it.
std::optional<DWORD> TokenPrivilegeAttributes(const wchar_t* name) {
  LUID luid;
  if (!LookupPrivilegeValueW(nullptr, name, &luid)) return std::nullopt;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  const bool ok = size && GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size);
  CloseHandle(token);
  if (!ok) return std::nullopt;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart) return p.Attributes;
  }
  return std::nullopt;
}

}  // namespace

TEST(Win32Privilege, EnableAndDisableReachTheProcessToken) {
  for (const wchar_t* name : {L"SeIncreaseQuotaPrivilege", L"SeProfileSingleProcessPrivilege"}) {
    const std::optional<DWORD> before = TokenPrivilegeAttributes(name);
    SetLastError(0);
    const bool enabled = Vel::Memory::SetPrivilege(name, true);
    if (!before) {
      // Not held: reported as failure, and the token is left as it was.
      EXPECT_FALSE(enabled);
      EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ALL_ASSIGNED));
      EXPECT_FALSE(TokenPrivilegeAttributes(name));
      continue;
    }
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(*TokenPrivilegeAttributes(name) & SE_PRIVILEGE_ENABLED);

    EXPECT_TRUE(Vel::Memory::SetPrivilege(name, false));
    EXPECT_FALSE(*TokenPrivilegeAttributes(name) & SE_PRIVILEGE_ENABLED);

    EXPECT_TRUE(Vel::Memory::SetPrivilege(name, true));
    EXPECT_TRUE(*TokenPrivilegeAttributes(name) & SE_PRIVILEGE_ENABLED);
  }
}

TEST(Win32Privilege, UnknownNameFailsEvenAfterASuccessfulCall) {
  SetLastError(0);  // a stale success must not show through
  EXPECT_FALSE(Vel::Memory::SetPrivilege(L"SeNoSuchQuorvanePrivilege", true));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_SUCH_PRIVILEGE));
  EXPECT_FALSE(Vel::Memory::SetPrivilege(L"", false));
}

TEST(Win32Purge, CleanMemoryReturnsAndLeavesTokenAndDataAsTheyWere) {
  const wchar_t* names[] = {L"SeIncreaseQuotaPrivilege", L"SeProfileSingleProcessPrivilege"};
  for (const wchar_t* name : names) Vel::Memory::SetPrivilege(name, true);
  std::vector<std::optional<DWORD>> before;
  for (const wchar_t* name : names) before.push_back(TokenPrivilegeAttributes(name));

  // Emptied working sets page out, they never lose data.
  std::vector<std::uint32_t> data(1 << 20);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint32_t(i * 2654435761u);
  Vel::Memory::CleanMemory();
  Vel::Memory::CleanMemory();
  for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], std::uint32_t(i * 2654435761u)) << i;

  for (std::size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(TokenPrivilegeAttributes(names[i]), before[i]) << i;
}
