// Crash reports from a real crash: a child copy of this test program crashes on purpose.
#include <windows.h>
#include <dbghelp.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "crash/crash_report.h"
#include "platform/threads.h"
#include "test_env.h"

namespace {

constexpr wchar_t kChildVariable[] = L"QUORVANE_CRASH_CHILD";

// Recurses until the stack is gone; the volatile buffer keeps every frame.
volatile bool gDeeper = true;
int Overflow(int depth) {
  volatile char frame[4096];
  frame[depth % sizeof frame] = char(depth);
  return gDeeper ? Overflow(depth + 1) + frame[0] : 0;
}

// Runs only in the child: crashes the way the parent asked.
TEST(CrashChild, Crashes) {
  const std::wstring how = Env(kChildVariable);
  if (how.empty()) GTEST_SKIP() << "runs only as the crashing child";
  Vel::Crash::InstallCrashReporter();
  if (how == L"access") {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  } else if (how == L"overflow") {
    Overflow(0);
  } else if (how == L"throw") {
    // An exception escaping a worker thread.
    platform::Thread worker;
    worker.Start([] { throw 42; });
    worker.Join();
  }
}

std::set<std::wstring> Reports(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*.dmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.insert(found.cFileName);
  while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

DWORD RunCrashingChild(const wchar_t* how) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=CrashChild.Crashes --gtest_catch_exceptions=0";
  SetEnvironmentVariableW(kChildVariable, how);
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(kChildVariable, nullptr);
  if (!started) return 0;
  DWORD code = 0;
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

struct DumpSeen {
  bool opened = false;
  DWORD exceptionCode = 0, crashingThread = 0;
  ULONG threads = 0, modules = 0;
  bool fullMemory = true;
};

DumpSeen ReadDump(const std::wstring& path) {
  DumpSeen seen;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return seen;
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* base = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  if (base) {
    seen.opened = true;
    PMINIDUMP_DIRECTORY dir;
    void* stream;
    ULONG size;
    if (MiniDumpReadDumpStream(base, ExceptionStream, &dir, &stream, &size)) {
      auto* e = static_cast<MINIDUMP_EXCEPTION_STREAM*>(stream);
      seen.exceptionCode = e->ExceptionRecord.ExceptionCode;
      seen.crashingThread = e->ThreadId;
    }
    if (MiniDumpReadDumpStream(base, ThreadListStream, &dir, &stream, &size))
      seen.threads = static_cast<MINIDUMP_THREAD_LIST*>(stream)->NumberOfThreads;
    if (MiniDumpReadDumpStream(base, ModuleListStream, &dir, &stream, &size))
      seen.modules = static_cast<MINIDUMP_MODULE_LIST*>(stream)->NumberOfModules;
    seen.fullMemory = MiniDumpReadDumpStream(base, Memory64ListStream, &dir, &stream, &size);
    UnmapViewOfFile(base);
  }
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  return seen;
}

TEST(CrashReport, ACrashLeavesOneReportAndTheNewestFiveStay) {
  const std::wstring folder = Vel::Crash::ReportFolder();
  ASSERT_FALSE(folder.empty());
  for (const std::wstring& name : Reports(folder)) DeleteFileW((folder + L"\\" + name).c_str());
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  std::vector<std::wstring> old;
  for (int day = 1; day <= 6; ++day) {
    old.push_back(L"Quorvane-200001" + std::wstring(day < 10 ? L"0" : L"") + std::to_wstring(day) + L"-000000-7.dmp");
    HANDLE f = CreateFileW((folder + L"\\" + old.back()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  const std::wstring other = folder + L"\\notes.txt";  // not a report: never touched
  CloseHandle(CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

  struct Crash {
    const wchar_t* how;
    DWORD code;
  } const crashes[] = {{L"access", EXCEPTION_ACCESS_VIOLATION},
                       {L"throw", Vel::Crash::kFatalErrorCode},
                       // No stack is left to write with on the crashing thread.
                       {L"overflow", EXCEPTION_STACK_OVERFLOW}};
  std::set<std::wstring> before = Reports(folder);
  for (const Crash& c : crashes) {
    SCOPED_TRACE(testing::Message() << std::string(c.how, c.how + wcslen(c.how)));
    EXPECT_EQ(RunCrashingChild(c.how), c.code);
    const std::set<std::wstring> after = Reports(folder);
    std::vector<std::wstring> added;
    for (const auto& n : after)
      if (!before.count(n)) added.push_back(n);
    ASSERT_EQ(added.size(), 1u) << "exactly one report per crash";
    EXPECT_EQ(after.size(), Vel::Crash::kKeptReports);
    const DumpSeen seen = ReadDump(folder + L"\\" + added[0]);
    EXPECT_TRUE(seen.opened);
    EXPECT_EQ(seen.exceptionCode, c.code);
    EXPECT_NE(seen.crashingThread, 0u);
    EXPECT_GE(seen.threads, 1u);
    EXPECT_GE(seen.modules, 1u);
    EXPECT_FALSE(seen.fullMemory) << "stacks and modules only";
    before = after;
  }
  // The oldest went; the newest old ones stayed.
  EXPECT_TRUE(before.count(old[5]) && before.count(old[4]));
  EXPECT_FALSE(before.count(old[0]) || before.count(old[1]) || before.count(old[2]) || before.count(old[3]));
  EXPECT_NE(GetFileAttributesW(other.c_str()), INVALID_FILE_ATTRIBUTES);
  for (const std::wstring& name : Reports(folder)) DeleteFileW((folder + L"\\" + name).c_str());
  DeleteFileW(other.c_str());
}

}  // namespace
