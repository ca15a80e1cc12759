// Web addresses reach the browser through the desktop shell's own process, never from ours
// while there is a desktop shell; only http(s) addresses go at all.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "update/shell_open_win32.h"
#include "update/version.h"

using Vel::Update::DesktopOpen;

namespace {

std::vector<std::wstring> gDesktop, gDirect;
DesktopOpen gDesktopAnswer = DesktopOpen::Opened;
DesktopOpen FakeDesktop(const std::wstring& a) {
  gDesktop.push_back(a);
  return gDesktopAnswer;
}
bool FakeDirect(const std::wstring& a) {
  gDirect.push_back(a);
  return true;
}

TEST(ShellOpen, TheDesktopShellFirstTheProgramItselfOnlyWithoutOne) {
  struct Case {
    const wchar_t* address;
    DesktopOpen desktop;
    bool opened;
    std::size_t desktopCalls, directCalls;
  } cases[] = {
      {L"https://a.test/x", DesktopOpen::Opened, true, 1, 0},
      {L"https://a.test/x", DesktopOpen::NoDesktop, true, 1, 1},
      // The desktop shell is there but failed: not from our elevated process instead.
      {L"https://a.test/x", DesktopOpen::Failed, false, 1, 0},
      {L"file:///C:/Windows/notepad.exe", DesktopOpen::Opened, false, 0, 0},
      {L"https://a.test/x\" --evil \"y", DesktopOpen::Opened, false, 0, 0},
  };
  Vel::Update::ShellRoutesSeam() = {FakeDesktop, FakeDirect};
  for (const Case& c : cases) {
    gDesktop.clear();
    gDirect.clear();
    gDesktopAnswer = c.desktop;
    EXPECT_EQ(Vel::Update::ShellOpen(c.address), c.opened);
    EXPECT_EQ(gDesktop.size(), c.desktopCalls);
    EXPECT_EQ(gDirect.size(), c.directCalls);
  }
  Vel::Update::ShellRoutesSeam() = {};
}

// Wine's desktop (explorer.exe) answers as Explorer does. The address goes to the http handler,
// here the probe, which writes it down.
TEST(ShellOpen, TheRealDesktopShellOpensTheAddress) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring folder(exe);
  folder.resize(folder.rfind(L'\\'));
  const std::wstring log = folder + L"\\shell-open-test.txt";
  DeleteFileW(log.c_str());
  const std::wstring command = L"\"" + folder + L"\\qprobe.exe\" record-open \"" + log + L"\" \"%1\"";
  // In the classes root, which Wine's shell reads; the prefix's own handler is put back after.
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  wchar_t saved[1024] = {};
  DWORD savedSize = sizeof saved;
  const bool hadOne = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &savedSize) ==
                      ERROR_SUCCESS;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 DWORD((command.size() + 1) * sizeof(wchar_t)));

  const std::wstring address = L"http://127.0.0.1:9/page?q=1";
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(Vel::Update::OpenThroughDesktop(address), DesktopOpen::Opened);
  CoUninitialize();
  std::string seen;
  for (int i = 0; i < 200 && seen.empty(); ++i, Sleep(50)) {
    std::ifstream in(std::string(log.begin(), log.end()));
    std::getline(in, seen);
  }
  EXPECT_EQ(seen, "http://127.0.0.1:9/page?q=1");

  if (hadOne) RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
  else RegDeleteValueW(key, nullptr);
  RegCloseKey(key);
  DeleteFileW(log.c_str());
}

}  // namespace
