// Vel.Memory: the memory purge and the token privileges it depends on.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace Vel::Memory {

inline constexpr unsigned kSystemMemoryListInformation = 80;
inline constexpr unsigned kSystemCombinePhysicalMemoryInformation = 130;

// SYSTEM_MEMORY_LIST_COMMAND values the purge sends.
inline constexpr std::uint32_t kMemoryEmptyWorkingSets = 2;
inline constexpr std::uint32_t kMemoryFlushModifiedList = 3;
inline constexpr std::uint32_t kMemoryPurgeStandbyList = 4;
inline constexpr std::uint32_t kMemoryPurgeLowPriorityStandbyList = 5;

// MEMORY_COMBINE_INFORMATION_EX in its 64-bit layout: what the 64-bit kernel checks the
// length against when this 32-bit program runs under WOW64.
inline constexpr std::size_t kCombineInfoSize = 24;

// What the purge needs of the operating system.
class MemoryPurgeApi {
 public:
  virtual ~MemoryPurgeApi() = default;
  // NtSetSystemInformation; returns the NTSTATUS. The system may write back into buffer.
  virtual std::int32_t SetSystemInformation(unsigned infoClass, std::uint8_t* buffer,
                                            std::uint32_t length) = 0;
};

// The process's real implementation (Windows builds only).
MemoryPurgeApi& SystemMemoryPurgeApi();

// Trims the file cache, empties all working sets, purges the standby lists, flushes the
// modified list and combines identical pages. Refused requests are skipped silently.
void CleanMemory(MemoryPurgeApi& api);
void CleanMemory();

struct Luid {
  std::uint32_t LowPart = 0;
  std::int32_t HighPart = 0;
};

inline constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
inline constexpr std::uint32_t kTokenQuery = 0x08;
inline constexpr std::uint32_t kSePrivilegeEnabled = 2;

// TOKEN_PRIVILEGES with one entry: count, LUID low, LUID high, attributes.
inline constexpr std::size_t kTokenPrivilegesSize = 16;
using TokenPrivilegesBuffer = std::array<std::uint8_t, kTokenPrivilegesSize>;

// An open token of the current process; destroying it closes the handle.
class ProcessToken {
 public:
  virtual ~ProcessToken() = default;
  // AdjustTokenPrivileges without disabling all; returns the call's own result.
  virtual bool AdjustPrivileges(const TokenPrivilegesBuffer& newState) = 0;
};

// What SetPrivilege needs of the operating system.
class ProcessTokenApi {
 public:
  virtual ~ProcessTokenApi() = default;
  // OpenProcessToken on the current process; null when it fails.
  virtual std::unique_ptr<ProcessToken> OpenProcessToken(std::uint32_t access) = 0;
  // LookupPrivilegeValueW on the local system.
  virtual bool LookupPrivilege(const std::wstring& name, Luid& luid) = 0;
  virtual std::uint32_t LastError() noexcept = 0;
};

// The process's real implementation (Windows builds only).
ProcessTokenApi& SystemProcessTokenApi();

// Enables or disables one privilege in the process token. True only when the adjustment was
// made and left no error, so a token that does not hold the privilege gives false.
bool SetPrivilege(const std::wstring& Name, bool Enable, ProcessTokenApi& api) noexcept;
bool SetPrivilege(const std::wstring& Name, bool Enable) noexcept;

}  // namespace Vel::Memory
