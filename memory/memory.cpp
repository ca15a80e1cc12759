#include "memory/memory.h"

namespace Vel::Memory {

std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

void WriteU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}

double UsagePercent(std::uint64_t Used, std::uint64_t Total) {
  if (Used == 0 || Total == 0) return 0;
  const std::uint64_t product = Used * 100u;  // wraps only beyond any real memory size
  // long double converts unsigned 64-bit values exactly on x87 and keeps the quotient's extra bits.
  return double(static_cast<long double>(product) / static_cast<long double>(Total));
}

void GetMemoryStatus(TMemoryStatus& Status, NativeMemoryApi& api) {
  MemoryStatusEx ms;
  api.GlobalMemoryStatus(ms);
  Status.AvailPhys = ms.AvailPhys;
  Status.AvailPage = ms.AvailPageFile;
  Status.AvailVirtual = ms.AvailVirtual;
  Status.TotalPhys = ms.TotalPhys;
  Status.TotalPage = ms.TotalPageFile;
  Status.TotalVirtual = ms.TotalVirtual;
  Status.UsagePhys = float(UsagePercent(Status.TotalPhys - Status.AvailPhys, Status.TotalPhys));
  Status.UsagePage = float(UsagePercent(Status.TotalPage - Status.AvailPage, Status.TotalPage));
  Status.UsageVirtual =
      float(UsagePercent(Status.TotalVirtual - Status.AvailVirtual, Status.TotalVirtual));

  FileCacheBuffer info{};
  if (api.QuerySystemInformation(kSystemFileCacheInformation, info.data(), kFileCacheInfoSize) != 0)
    return;
  const std::uint32_t current = ReadU32(info.data() + kFileCacheCurrentSize);
  const std::uint32_t peak = ReadU32(info.data() + kFileCachePeakSize);
  Status.AvailWork = std::uint32_t(peak - current);
  Status.TotalWork = peak;
  Status.UsageWork = float(UsagePercent(Status.TotalWork - Status.AvailWork, Status.TotalWork));
}

}  // namespace Vel::Memory
