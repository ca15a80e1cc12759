// Crash reports: an unhandled exception or fatal error on any thread leaves a minidump (the
// threads' stacks and the module list, no other memory) in the user's local application data
// under Vantorel\Quorvane\crashes, where the newest five are kept, and ends the program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Vel::Crash {

inline constexpr std::size_t kKeptReports = 5;
inline constexpr wchar_t kFolder[] = L"Vantorel\\Quorvane\\crashes";  // below local app data
// The code a fatal C++ error (std::terminate, abort, a pure virtual call) is reported with.
inline constexpr unsigned long kFatalErrorCode = 0xE0515154ul;

struct TCrashTime {
  int Year, Month, Day, Hour, Minute, Second;
};

// "Quorvane-YYYYMMDD-HHMMSS-PID.dmp": names sort by time. Written into Out (with its ending
// zero) without touching the heap, which a crash may have corrupted; false when it does not fit.
inline constexpr std::size_t kReportNameMax = 48;
bool ReportName(const TCrashTime& Time, unsigned long ProcessId, wchar_t* Out, std::size_t Capacity);
// Of the reports in a folder (file names), those to delete so that the newest Keep stay.
// Other files are never touched.
std::vector<std::wstring> ReportsToRemove(std::vector<std::wstring> Names, std::size_t Keep = kKeptReports);

// Windows builds: installs the reporter for the whole process; call first thing.
void InstallCrashReporter();
// The folder the reports go to; empty when it cannot be had.
std::wstring ReportFolder();

}  // namespace Vel::Crash
