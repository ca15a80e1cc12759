// Crash report names and which reports go.
#include <gtest/gtest.h>

#include "crash/crash_report.h"

namespace {

using Vel::Crash::ReportName;

// The name, whole, or empty when it does not fit.
std::wstring Name(const Vel::Crash::TCrashTime& t, unsigned long pid) {
  wchar_t name[Vel::Crash::kReportNameMax];
  return ReportName(t, pid, name, std::size(name)) ? std::wstring(name) : std::wstring();
}
using Vel::Crash::ReportsToRemove;

TEST(CrashReports, NamesSortByTimeAndOnlyTheNewestFiveStay) {
  EXPECT_EQ(Name({2026, 12, 10, 9, 5, 7}, 4242), L"Quorvane-20261210-090507-4242.dmp");
  EXPECT_EQ(Name({2026, 1, 2, 0, 0, 0}, 4294967295ul), L"Quorvane-20260102-000000-4294967295.dmp");
  // Into a buffer of the caller's: whole, or refused with what fits still ended.
  wchar_t small[12];
  EXPECT_FALSE(ReportName({2026, 12, 10, 9, 5, 7}, 4242, small, std::size(small)));
  EXPECT_EQ(std::wstring(small), L"Quorvane-20");
  const std::vector<std::wstring> names = {
      L"Quorvane-20261210-090507-4242.dmp", L"Quorvane-20251231-235959-1.dmp", L"notes.txt",
      L"Quorvane-20261210-090507-99.dmp",   L"Quorvane-20260101-000000-5.dmp", L"Quorvane-x.dmp",
      L"Quorvane-20260601-120000-5.dmp",    L"Quorvane-20260301-120000-5.dmp", L"other-20260101-000000-1.dmp",
      L"Quorvane-20260301-120000-5.dmp.bak", L"Quorvane-20260201-000000-5.dmp"};
  // Seven reports: the two oldest go; the same second sorts by process id as a number.
  EXPECT_EQ(ReportsToRemove(names),
            (std::vector<std::wstring>{L"Quorvane-20251231-235959-1.dmp", L"Quorvane-20260101-000000-5.dmp"}));
  EXPECT_EQ(ReportsToRemove(names, 1).back(), L"Quorvane-20261210-090507-99.dmp");
  EXPECT_TRUE(ReportsToRemove({L"Quorvane-20251231-235959-1.dmp"}).empty());
  EXPECT_TRUE(ReportsToRemove({}).empty());
}

}  // namespace
