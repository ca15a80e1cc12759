#include <gtest/gtest.h>

#include <cmath>

#include "memory/memory.h"

using namespace Vel::Memory;

TEST(UsagePercent, Table) {
  struct Case {
    std::uint64_t used, total;
    double expected;
  } cases[] = {
      {0, 8, 0},
      {5, 0, 0},
      {3, 4, 75},
      {4, 4, 100},
      {1, 3, 100.0 / 3.0},
      // 100 * 2^57 exceeds the largest signed 64-bit value: must convert as unsigned.
      {1ull << 57, 1ull << 58, 50},
      {(1ull << 63) / 100 + 1, 1ull << 63, double((long double)(((1ull << 63) / 100 + 1) * 100) / (long double)(1ull << 63))},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(UsagePercent(c.used, c.total), c.expected) << c.used << "/" << c.total;
  }
  EXPECT_NE(UsagePercent(1, 3), 33.0);  // never rounded to whole numbers
}

namespace {

class FakeMemoryApi : public NativeMemoryApi {
 public:
  MemoryStatusEx status;
  std::int32_t queryResult = 0;
  std::uint32_t current = 0, peak = 0;
  int statusCalls = 0, queryCalls = 0;
  unsigned lastClass = 0;
  std::uint32_t lastLength = 0;
  bool bufferWasZeroed = true;

  void GlobalMemoryStatus(MemoryStatusEx& out) override {
    ++statusCalls;
    out = status;
  }
  std::int32_t QuerySystemInformation(unsigned infoClass, std::uint8_t* buffer,
                                      std::uint32_t length) override {
    ++queryCalls;
    lastClass = infoClass;
    lastLength = length;
    for (std::uint32_t i = 0; i < length; ++i) bufferWasZeroed &= buffer[i] == 0;
    if (queryResult == 0) {
      WriteU32(buffer + 0, current);
      WriteU32(buffer + 4, peak);
      WriteU32(buffer + 8, 0xDEADBEEF);  // fields the snapshot must not read
    }
    return queryResult;
  }
};

}  // namespace

TEST(GetMemoryStatus, FillsRowsFromBothQueries) {
  FakeMemoryApi api;
  api.status = {8ull << 30, 2ull << 30, 16ull << 30, 12ull << 30, 4ull << 30, 3ull << 30};
  api.current = 300, api.peak = 400;
  TMemoryStatus s;
  GetMemoryStatus(s, api);
  EXPECT_EQ(api.statusCalls, 1);
  EXPECT_EQ(api.queryCalls, 1);
  EXPECT_EQ(api.lastClass, 21u);
  EXPECT_EQ(api.lastLength, 36u);
  EXPECT_TRUE(api.bufferWasZeroed);
  EXPECT_EQ(s.TotalPhys, 8ull << 30);
  EXPECT_EQ(s.AvailPhys, 2ull << 30);
  EXPECT_EQ(s.TotalPage, 16ull << 30);
  EXPECT_EQ(s.AvailPage, 12ull << 30);
  EXPECT_EQ(s.TotalVirtual, 4ull << 30);
  EXPECT_EQ(s.AvailVirtual, 3ull << 30);
  EXPECT_FLOAT_EQ(s.UsagePhys, 75.f);
  EXPECT_FLOAT_EQ(s.UsagePage, 25.f);
  EXPECT_FLOAT_EQ(s.UsageVirtual, 25.f);
  EXPECT_EQ(s.TotalWork, 400u);
  EXPECT_EQ(s.AvailWork, 100u);
  EXPECT_FLOAT_EQ(s.UsageWork, 75.f);
}

TEST(GetMemoryStatus, OneThirdIsStoredAsNearestFloat) {
  FakeMemoryApi api;
  api.status.TotalPhys = 3;
  api.status.AvailPhys = 2;
  TMemoryStatus s;
  GetMemoryStatus(s, api);
  EXPECT_EQ(s.UsagePhys, float(100.0 / 3.0));
}

TEST(GetMemoryStatus, FileCacheRowEdges) {
  struct Case {
    std::uint32_t current, peak;
    std::uint64_t avail, total;
    float usage;
  } cases[] = {
      {500, 500, 0, 500, 100.f},
      {0, 500, 500, 500, 0.f},
      {0, 0, 0, 0, 0.f},
      // Sizes near 4 GiB stay unsigned 32-bit values widened with a zero high half.
      {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu, float(UsagePercent(0x80000000u, 0xFFFFFFFFu))},
  };
  for (const Case& c : cases) {
    FakeMemoryApi api;
    api.current = c.current, api.peak = c.peak;
    TMemoryStatus s;
    s.AvailWork = s.TotalWork = 77;
    s.UsageWork = 7;
    GetMemoryStatus(s, api);
    EXPECT_EQ(s.AvailWork, c.avail) << c.current << "/" << c.peak;
    EXPECT_EQ(s.TotalWork, c.total);
    EXPECT_EQ(s.UsageWork, c.usage);
  }
}

TEST(GetMemoryStatus, FailedCacheQueryLeavesCacheRowAndFillsTheRest) {
  FakeMemoryApi api;
  api.queryResult = std::int32_t(0xC0000001);
  api.status.TotalPhys = 100;
  api.status.AvailPhys = 40;
  TMemoryStatus s;
  s.AvailWork = 11, s.TotalWork = 22, s.UsageWork = 33;
  GetMemoryStatus(s, api);
  EXPECT_EQ(s.AvailWork, 11u);
  EXPECT_EQ(s.TotalWork, 22u);
  EXPECT_EQ(s.UsageWork, 33.f);
  EXPECT_EQ(s.TotalPhys, 100u);
  EXPECT_FLOAT_EQ(s.UsagePhys, 60.f);
}

TEST(GetMemoryStatus, FailedStatusCallReadsZeros) {
  FakeMemoryApi api;  // a failing GlobalMemoryStatusEx leaves its zero-filled record
  TMemoryStatus s;
  s.TotalPhys = 5, s.UsagePhys = 50;
  GetMemoryStatus(s, api);
  EXPECT_EQ(s.TotalPhys, 0u);
  EXPECT_EQ(s.UsagePhys, 0.f);
  EXPECT_EQ(s.UsagePage, 0.f);
}
