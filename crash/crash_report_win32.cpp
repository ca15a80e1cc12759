// The reporter on Windows: one process-wide filter for unhandled exceptions, and the C and C++
// runtimes' fatal errors turned into an exception that reaches it.
#include <windows.h>
#include <dbghelp.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "crash/crash_report.h"
#include "ui/win32/win32_ui.h"

namespace Vel::Crash {
namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// A report is written by a thread of its own, made at start, while the crashing thread waits: a
// stack overflow leaves the crashing thread no stack to write with. Everything the writer needs
// (DbgHelp, the folder, a buffer for the path) is had at start, so that a corrupted heap does not
// stop the report either.
struct Reporter {
  MiniDumpWriteDumpFn write = nullptr;
  HANDLE request = nullptr, written = nullptr, done = nullptr;
  HANDLE writer = nullptr;  // its thread: one gone (at exit) is waited for no longer
  wchar_t path[MAX_PATH + kReportNameMax] = {};
  std::size_t folderLength = 0;  // of `path`, which holds the folder and a backslash
  // The crash, set by the crashing thread before it raises `request`.
  EXCEPTION_POINTERS* info = nullptr;
  DWORD thread = 0;
};
Reporter gReporter;
std::atomic<bool> gReporting{false};

void RemoveOldReports(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*.dmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  for (const std::wstring& name : ReportsToRemove(std::move(names))) DeleteFileW((folder + L"\\" + name).c_str());
}

void WriteReport(Reporter& r) {
  if (!r.write || !r.folderLength) return;
  SYSTEMTIME st;
  GetLocalTime(&st);
  if (!ReportName({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}, GetCurrentProcessId(),
                  r.path + r.folderLength, std::size(r.path) - r.folderLength))
    return;
  r.path[r.folderLength - 1] = 0;
  CreateDirectoryW(r.path, nullptr);  // its parents were made at start
  r.path[r.folderLength - 1] = L'\\';
  HANDLE file = CreateFileW(r.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  MINIDUMP_EXCEPTION_INFORMATION exception{r.thread, r.info, FALSE};
  // Stacks, threads and modules only: nothing else of the program's memory leaves it.
  const BOOL ok = r.write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                          r.info ? &exception : nullptr, nullptr, nullptr);
  CloseHandle(file);
  if (!ok) DeleteFileW(r.path);
}

DWORD WINAPI ReporterThread(void*) {
  if (WaitForSingleObject(gReporter.request, INFINITE) == WAIT_OBJECT_0) {
    WriteReport(gReporter);
    SetEvent(gReporter.written);
    // The report is safe; keeping the newest five needs the heap, which the crash may hold
    // locked, so it comes last and is waited for only briefly.
    if (gReporter.folderLength) {
      gReporter.path[gReporter.folderLength - 1] = 0;
      RemoveOldReports(gReporter.path);
    }
    SetEvent(gReporter.done);
  }
  return 0;
}

// Waits for `event`, but not for a writer that is gone (killed as the process exits).
void AwaitWriter(HANDLE event, DWORD ms) {
  const HANDLE both[2] = {event, gReporter.writer};
  WaitForMultipleObjects(2, both, FALSE, ms);
}

LONG WINAPI OnUnhandled(EXCEPTION_POINTERS* info) {
  // A second fault while reporting (or on another thread meanwhile) ends the program at once.
  // Little stack is left after an overflow: hand over, wait, and end.
  if (!gReporting.exchange(true)) {
    gReporter.info = info;
    gReporter.thread = GetCurrentThreadId();
    if (gReporter.request) {
      SetEvent(gReporter.request);
      AwaitWriter(gReporter.written, 60000);
      AwaitWriter(gReporter.done, 2000);
    } else {
      WriteReport(gReporter);  // no writer thread could be made: the best this thread can do
    }
  }
  TerminateProcess(GetCurrentProcess(), info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

// A fatal runtime error becomes an exception of our own, so that its report holds the stack
// it happened on.
[[noreturn]] void Fatal() {
  RaiseException(kFatalErrorCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  TerminateProcess(GetCurrentProcess(), kFatalErrorCode);
  for (;;) {
  }
}

void OnAbortSignal(int) { Fatal(); }
void OnPureCall() { Fatal(); }
void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) { Fatal(); }

}  // namespace

std::wstring ReportFolder() {
  // Defined here: the SDK's copy lives in a library object that holds every known GUID (35 KiB).
  static constexpr KNOWNFOLDERID kLocalAppData = {
      0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}};
  PWSTR base = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(kLocalAppData, 0, nullptr, &base)) && base)
    folder = std::wstring(base) + L"\\" + kFolder;
  CoTaskMemFree(base);
  return folder;
}

void InstallCrashReporter() {
  Reporter& r = gReporter;
  if (!r.request) {
    const std::wstring folder = ReportFolder();
    if (!folder.empty() && folder.size() + 1 < MAX_PATH) {
      SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
      std::copy(folder.begin(), folder.end(), r.path);
      r.path[folder.size()] = L'\\';
      r.folderLength = folder.size() + 1;
    }
    HMODULE dbghelp = ui::win32::LoadSystemLibrary(L"dbghelp.dll");
    r.write = dbghelp ? reinterpret_cast<MiniDumpWriteDumpFn>(
                            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                      : nullptr;
    r.request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    r.written = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    r.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A small stack of its own is enough for the writer; it waits, costing nothing, all day.
    // Without a folder to write to there is nothing for it to do.
    if (r.request && r.written && r.done && r.folderLength && r.write)
      r.writer = CreateThread(nullptr, 256 * 1024, ReporterThread, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!r.writer && r.request) CloseHandle(r.request), r.request = nullptr;
  }
  SetUnhandledExceptionFilter(OnUnhandled);
  std::set_terminate(Fatal);
  std::signal(SIGABRT, OnAbortSignal);
  _set_purecall_handler(OnPureCall);
  _set_invalid_parameter_handler(OnInvalidParameter);
  // No dialog of the system's own in front of the report.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

}  // namespace Vel::Crash

