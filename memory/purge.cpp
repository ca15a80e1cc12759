#include "memory/purge.h"

#include "memory/memory.h"

namespace Vel::Memory {

namespace {

inline constexpr std::size_t kFileCacheMinimumWorkingSet = 12;
inline constexpr std::size_t kFileCacheMaximumWorkingSet = 16;

void SendMemoryListCommand(MemoryPurgeApi& api, std::uint32_t command) {
  std::array<std::uint8_t, 4> buffer{};
  WriteU32(buffer.data(), command);
  api.SetSystemInformation(kSystemMemoryListInformation, buffer.data(), buffer.size());
}

}  // namespace

void CleanMemory(MemoryPurgeApi& api) {
  // Each request stands alone: one the system refuses must not keep the others from running.
  FileCacheBuffer fileCache{};
  // A minimum and maximum of -1 trim the cache as far as it goes.
  WriteU32(fileCache.data() + kFileCacheMinimumWorkingSet, 0xFFFFFFFFu);
  WriteU32(fileCache.data() + kFileCacheMaximumWorkingSet, 0xFFFFFFFFu);
  api.SetSystemInformation(kSystemFileCacheInformation, fileCache.data(), fileCache.size());

  SendMemoryListCommand(api, kMemoryEmptyWorkingSets);
  SendMemoryListCommand(api, kMemoryPurgeLowPriorityStandbyList);
  SendMemoryListCommand(api, kMemoryPurgeStandbyList);
  SendMemoryListCommand(api, kMemoryFlushModifiedList);

  std::array<std::uint8_t, kCombineInfoSize> combine{};
  api.SetSystemInformation(kSystemCombinePhysicalMemoryInformation, combine.data(), combine.size());
}

bool SetPrivilege(const std::wstring& Name, bool Enable, ProcessTokenApi& api) noexcept {
  bool adjusted = false;
  try {
    if (std::unique_ptr<ProcessToken> token = api.OpenProcessToken(kTokenAdjustPrivileges | kTokenQuery)) {
      Luid luid;
      if (api.LookupPrivilege(Name, luid)) {
        TokenPrivilegesBuffer request{};
        WriteU32(request.data() + 0, 1);
        WriteU32(request.data() + 4, luid.LowPart);
        WriteU32(request.data() + 8, std::uint32_t(luid.HighPart));
        WriteU32(request.data() + 12, Enable ? kSePrivilegeEnabled : 0);
        adjusted = token->AdjustPrivileges(request);
      }
    }
  } catch (...) {
    // Whatever was raised, the token has been closed and the adjustment counts as not made.
  }
  // The adjustment succeeds even when the token lacks the privilege; only the last error
  // (ERROR_NOT_ALL_ASSIGNED) tells. Requiring the adjustment as well keeps a stale 0 from an
  // earlier call from passing for success.
  return adjusted && api.LastError() == 0;
}

}  // namespace Vel::Memory
