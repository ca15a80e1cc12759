// Vel.Memory: the memory snapshot.
#pragma once

#include <array>
#include <cstdint>

namespace Vel::Memory {

struct TMemoryStatus {
  std::uint64_t AvailPhys = 0;
  std::uint64_t AvailPage = 0;
  std::uint64_t AvailVirtual = 0;
  std::uint64_t AvailWork = 0;
  std::uint64_t TotalPhys = 0;
  std::uint64_t TotalPage = 0;
  std::uint64_t TotalVirtual = 0;
  std::uint64_t TotalWork = 0;
  float UsagePhys = 0;
  float UsagePage = 0;
  float UsageVirtual = 0;
  float UsageWork = 0;
};

// SYSTEM_FILECACHE_INFORMATION as the 32-bit program exchanges it: nine 4-byte fields.
inline constexpr std::size_t kFileCacheInfoSize = 36;
using FileCacheBuffer = std::array<std::uint8_t, kFileCacheInfoSize>;
inline constexpr std::size_t kFileCacheCurrentSize = 0;
inline constexpr std::size_t kFileCachePeakSize = 4;
inline constexpr unsigned kSystemFileCacheInformation = 21;

std::uint32_t ReadU32(const std::uint8_t* p);
void WriteU32(std::uint8_t* p, std::uint32_t v);

// The figures of MEMORYSTATUSEX that the snapshot reads.
struct MemoryStatusEx {
  std::uint64_t TotalPhys = 0, AvailPhys = 0;
  std::uint64_t TotalPageFile = 0, AvailPageFile = 0;
  std::uint64_t TotalVirtual = 0, AvailVirtual = 0;
};

// What the memory engine needs of the operating system. Tests record and script it.
class NativeMemoryApi {
 public:
  virtual ~NativeMemoryApi() = default;
  // GlobalMemoryStatusEx on a zero-filled record; a failed call leaves zeros.
  virtual void GlobalMemoryStatus(MemoryStatusEx& out) = 0;
  // NtQuerySystemInformation; returns the NTSTATUS.
  virtual std::int32_t QuerySystemInformation(unsigned infoClass, std::uint8_t* buffer,
                                              std::uint32_t length) = 0;
};

// The process's real implementation (Windows builds only).
NativeMemoryApi& SystemMemoryApi();

double UsagePercent(std::uint64_t Used, std::uint64_t Total);

// Fills Status; a failed file-cache query leaves the cache row as the caller passed it.
void GetMemoryStatus(TMemoryStatus& Status, NativeMemoryApi& api);
void GetMemoryStatus(TMemoryStatus& Status);

}  // namespace Vel::Memory
