#include "crash/crash_report.h"

#include <algorithm>
#include <cwchar>

namespace Vel::Crash {
namespace {

bool IsReport(const std::wstring& name) {
  // Quorvane-YYYYMMDD-HHMMSS-PID.dmp, nothing else.
  static constexpr wchar_t kPrefix[] = L"Quorvane-", kSuffix[] = L".dmp";
  const std::size_t prefix = std::wcslen(kPrefix), suffix = std::wcslen(kSuffix);
  if (name.size() < prefix + 8 + 1 + 6 + 1 + 1 + suffix) return false;
  if (name.compare(0, prefix, kPrefix) != 0 || name.compare(name.size() - suffix, suffix, kSuffix) != 0) return false;
  for (std::size_t i = prefix; i < name.size() - suffix; ++i) {
    const std::size_t at = i - prefix;
    const bool dash = at == 8 || at == 15;
    if (dash ? name[i] != L'-' : !(name[i] >= L'0' && name[i] <= L'9')) return false;
  }
  return true;
}

}  // namespace

bool ReportName(const TCrashTime& t, unsigned long ProcessId, wchar_t* Out, std::size_t Capacity) {
  std::size_t at = 0;
  auto put = [&](wchar_t c) {
    if (at + 1 < Capacity) Out[at] = c;
    ++at;
  };
  auto text = [&](const wchar_t* s) {
    while (*s) put(*s++);
  };
  // At least `digits` digits, more when the number has them.
  auto number = [&](unsigned long v, int digits) {
    wchar_t d[20];
    int n = 0;
    do d[n++] = wchar_t(L'0' + v % 10), v /= 10;
    while (v);
    for (int i = n; i < digits; ++i) put(L'0');
    while (n) put(d[--n]);
  };
  text(L"Quorvane-");
  number(unsigned(t.Year), 4);
  for (int part : {t.Month, t.Day}) number(unsigned(part), 2);
  put(L'-');
  for (int part : {t.Hour, t.Minute, t.Second}) number(unsigned(part), 2);
  put(L'-');
  number(ProcessId, 1);
  text(L".dmp");
  if (Capacity) Out[at < Capacity ? at : Capacity - 1] = 0;
  return at < Capacity;
}

std::vector<std::wstring> ReportsToRemove(std::vector<std::wstring> Names, std::size_t Keep) {
  Names.erase(std::remove_if(Names.begin(), Names.end(), [](const std::wstring& n) { return !IsReport(n); }),
              Names.end());
  // By time, then by process: the oldest first.
  std::sort(Names.begin(), Names.end(), [](const std::wstring& a, const std::wstring& b) {
    const std::size_t stamp = std::wcslen(L"Quorvane-YYYYMMDD-HHMMSS");
    const int byTime = a.compare(0, stamp, b, 0, stamp);
    if (byTime != 0) return byTime < 0;
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  if (Names.size() <= Keep) return {};
  Names.resize(Names.size() - Keep);
  return Names;
}

}  // namespace Vel::Crash
