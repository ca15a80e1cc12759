// The reporter on Windows: one process-wide filter for unhandled exceptions, and the C and C++
// runtimes' fatal errors turned into an exception that reaches it.
#include <windows.h>
#include <dbghelp.h>
#include <shlobj.h>

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

void WriteReport(EXCEPTION_POINTERS* info) {
  const std::wstring folder = ReportFolder();
  if (folder.empty()) return;
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  SYSTEMTIME st;
  GetLocalTime(&st);
  const std::wstring path =
      folder + L"\\" + ReportName({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}, GetCurrentProcessId());
  // Loaded only now: a program that never crashes never maps it.
  HMODULE dbghelp = ui::win32::LoadSystemLibrary(L"dbghelp.dll");
  auto write = dbghelp ? reinterpret_cast<MiniDumpWriteDumpFn>(
                             reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                       : nullptr;
  if (!write) return;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), info, FALSE};
  // Stacks, threads and modules only: nothing else of the program's memory leaves it.
  const BOOL ok = write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, info ? &exception : nullptr,
                        nullptr, nullptr);
  CloseHandle(file);
  if (!ok) DeleteFileW(path.c_str());
  RemoveOldReports(folder);
}

LONG WINAPI OnUnhandled(EXCEPTION_POINTERS* info) {
  // A second fault while reporting (or on another thread meanwhile) ends the program at once.
  if (!gReporting.exchange(true)) WriteReport(info);
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
  SetUnhandledExceptionFilter(OnUnhandled);
  std::set_terminate(Fatal);
  std::signal(SIGABRT, OnAbortSignal);
  _set_purecall_handler(OnPureCall);
  _set_invalid_parameter_handler(OnInvalidParameter);
  // No dialog of the system's own in front of the report.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

}  // namespace Vel::Crash

