// The update exchange over WinHTTP against the local test service, and the installation
// identifier in the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include "scratch_key.h"

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "config/config.h"
#include "ui/win32/win32_ui.h"
#include "update/update.h"
#include "update/update_win32.h"
#include "test_env.h"

using namespace Vel::Update;

namespace {

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

constexpr char kAgentLine[] = "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64)";

// The lines of an echoed header block that the program adds, without the user agent, whose
// place among the headers is the HTTP stack's choice.
std::vector<std::string> OurHeaders(const std::string& block, int* agents = nullptr) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < block.size()) {
    const std::size_t end = block.find('\n', at);
    const std::string line = block.substr(at, end - at);
    if (line == kAgentLine && agents) ++*agents;
    else if (line.rfind("User-", 0) == 0) out.push_back(line);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return out;
}

class Win32Http : public ::testing::Test {
 protected:
  void SetUp() override {
    service_ = Env(L"QUORVANE_TEST_HTTP");
    if (service_.empty()) GTEST_SKIP() << "no test service (run through tests/e2e/run_win_tests.py)";
  }
  std::wstring service_;
};

TEST_F(Win32Http, AnswersFailuresAndBounds) {
  const std::wstring closed = Env(L"QUORVANE_TEST_HTTP_CLOSED");
  const std::wstring tlsToPlain = L"https" + service_.substr(4);
  struct Case {
    std::wstring url;
    std::size_t max;
    HttpResult result;
    std::string body;
  } const cases[] = {
      {service_ + L"/text", 1000, HttpResult::Answered, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {service_ + L"/status/404", 1000, HttpResult::Answered, "no such page"},
      {service_ + L"/redirect", 1000, HttpResult::Answered, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {service_ + L"/size/0", 1000, HttpResult::Answered, ""},
      {service_ + L"/size/20000", 20000, HttpResult::Answered, std::string(20000, 'a')},
      {service_ + L"/size/20001", 20000, HttpResult::TooLarge, ""},
      {service_ + L"/chunked/20000", 20000, HttpResult::Answered, std::string(20000, 'a')},
      {service_ + L"/chunked/90000", 20000, HttpResult::TooLarge, ""},
      {closed + L"/api.init.php", 1000, HttpResult::Failed, ""},
      {tlsToPlain + L"/text", 1000, HttpResult::Failed, ""},
      {L"ftp://127.0.0.1/x", 1000, HttpResult::Failed, ""},
      {L"not an address", 1000, HttpResult::Failed, ""},
      {L"", 1000, HttpResult::Failed, ""},
  };
  auto http = SystemHttpApi();
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.url));
    std::string body = "stale";
    EXPECT_EQ(http->Get(c.url, kUserAgent, {}, c.max, body), c.result);
    EXPECT_EQ(body, c.body);
  }
}

// Whether winhttp.dll goes. A connection kept alive for reuse (an earlier test's) holds it for
// some seconds after its request.
bool WinHttpUnloads() {
  const DWORD start = GetTickCount();
  while (GetModuleHandleW(L"winhttp.dll")) {
    if (GetTickCount() - start > 40000) return false;
    Sleep(20);
  }
  std::printf("winhttp.dll unloaded %lu ms after its last user\n", GetTickCount() - start);
  return true;
}

// WinHTTP and its TLS stack stay loaded only while someone holds the API: the update check's
// megabytes go when it is over.
TEST_F(Win32Http, TheDllGoesWithTheLastUser) {
  const std::wstring closed = Env(L"QUORVANE_TEST_HTTP_CLOSED") + L"/api.init.php";
  auto first = SystemHttpApi();
  auto second = SystemHttpApi();
  std::string body;
  ASSERT_EQ(first->Get(closed, kUserAgent, {}, 1000, body), HttpResult::Failed);
  ASSERT_EQ(second->Get(closed, kUserAgent, {}, 1000, body), HttpResult::Failed);
  ASSERT_NE(GetModuleHandleW(L"winhttp.dll"), nullptr);
  first.reset();
  EXPECT_NE(GetModuleHandleW(L"winhttp.dll"), nullptr) << "released while another user still holds it";
  EXPECT_EQ(second->Get(closed, kUserAgent, {}, 1000, body), HttpResult::Failed) << "and still works";
  second.reset();
  EXPECT_TRUE(WinHttpUnloads());
}

TEST_F(Win32Http, HeadersArriveInOrderAndTheBodyIsReadAsUtf8) {
  std::wstring echo;
  ASSERT_TRUE(RequestText(*SystemHttpApi(), service_ + L"/echo",
                          CheckHeaders(L"1.9.5.0", L"ko", false, L"ID\r\nUser-Evil: 1"), echo));
  int agents = 0;
  EXPECT_EQ(OurHeaders(Narrow(echo), &agents),
            (std::vector<std::string>{"User-Version: 1.9.5.0", "User-Language: ko", "User-Debug: false",
                                      "User-Union: IDUser-Evil: 1"}));
  EXPECT_EQ(agents, 1);

  std::wstring text;
  ASSERT_TRUE(RequestText(*SystemHttpApi(), service_ + L"/text", {}, text));
  EXPECT_EQ(text, L"caf\u00e9 \u20ac \U0001F600");  // whatever charset the answer declares
}

// A real check through the program's own entry point, with its message loop.
// Closed before the length it declared: a failed attempt, not a shorter answer, though Wine's
// WinHTTP reports the early close as the end of the body. (After the tests of the DLL's
// unloading: Wine keeps it some thirty seconds longer after such a connection.)
TEST_F(Win32Http, AnAnswerCutShortIsAFailedAttempt) {
  std::string body = "stale";
  EXPECT_EQ(SystemHttpApi()->Get(service_ + L"/short/5000", kUserAgent, {}, 20000, body), HttpResult::Failed);
  EXPECT_EQ(body, "");
  EXPECT_EQ(SystemHttpApi()->Get(service_ + L"/size/5000", kUserAgent, {}, 20000, body), HttpResult::Answered);
  EXPECT_EQ(body.size(), 5000u);
}

TEST_F(Win32Http, CheckUpdateCallsBackOnTheMainThreadAndTheHoldRequestFollows) {
  HKEY probe;
  const bool hadMakerKey = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Vantorel", 0, KEY_READ, &probe) == ERROR_SUCCESS;
  if (hadMakerKey) RegCloseKey(probe);
  const bool hadId = hadMakerKey && RegGetValueW(HKEY_CURRENT_USER, L"Software\\Vantorel", L"VelUID", RRF_RT_ANY,
                                                 nullptr, nullptr, nullptr) == ERROR_SUCCESS;

  ui::win32::Win32Application application(GetModuleHandleW(nullptr));
  int calls = 0;
  bool accepted = true;
  std::wstring response;
  DWORD ranOn = 0;
  CheckUpdate(application.App(), service_ + L"/record/check",
              [&](bool a, const std::wstring& r) {
                ++calls;
                accepted = a;
                response = r;
                ranOn = GetCurrentThreadId();
              },
              10, {nullptr, L"de", false});
  const ULONGLONG end = GetTickCount64() + 20000;
  MSG msg;
  while (calls == 0 && GetTickCount64() < end) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0)
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  ASSERT_EQ(calls, 1);
  EXPECT_FALSE(accepted);  // the default prompt offers nothing
  EXPECT_NE(response.find(L"\"update\":\"https://update.invalid/Quorvane.exe\""), std::wstring::npos);
  EXPECT_EQ(ranOn, GetCurrentThreadId());
  EXPECT_EQ(UpdateURL(), service_ + L"/record/check");
  EXPECT_EQ(UpdateOffset(), 10);

  const std::wstring id = GetInstallationID();
  EXPECT_EQ(id.size(), 32u);
  StartHoldRequest();
  std::wstring log;
  for (const ULONGLONG stop = GetTickCount64() + 20000; GetTickCount64() < stop; Sleep(50)) {
    log.clear();
    if (RequestText(*SystemHttpApi(), service_ + L"/log/check", {}, log) && OurHeaders(Narrow(log)).size() >= 6) break;
  }
  int agents = 0;
  EXPECT_EQ(OurHeaders(Narrow(log), &agents),
            (std::vector<std::string>{"User-Version: 1.9.5.0", "User-Language: de", "User-Debug: false",
                                      "User-Union: " + Narrow(id), "User-Version: 1.9.5.0", "User-Command: hold"}));
  EXPECT_EQ(agents, 2);

  if (!hadId) RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Vantorel", L"VelUID");
  if (!hadMakerKey) RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vantorel");
}

constexpr wchar_t kPath[] = L"Vantorel\\QuorvaneTest\\Uid";
constexpr wchar_t kKey[] = L"Software\\Vantorel\\QuorvaneTest\\Uid";

class Win32InstallationID : public scratch::ScratchKeyTest {
 protected:
  std::wstring Get() { return GetInstallationID(Vel::Config::SystemRegistryApi(), SystemIdentifierSource(), kPath); }
  static DWORD Stored(std::wstring& text) {
    wchar_t buf[128] = {};
    DWORD type = REG_NONE, size = sizeof buf - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, L"VelUID", RRF_RT_ANY, &type, buf, &size) != ERROR_SUCCESS) return REG_NONE;
    text = buf;
    return type;
  }
};

TEST_F(Win32InstallationID, MadeOnFirstUseStoredAsTextAndKept) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  const std::wstring id = Get();
  SYSTEMTIME after;
  GetLocalTime(&after);
  std::wstring stored;
  EXPECT_EQ(Stored(stored), DWORD(REG_SZ));
  EXPECT_EQ(stored, id);
  const std::string s = Narrow(id);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(s, m, std::regex("[0-7][0-9A-F]{7}(\\d{6})[0-9A-F]{4}(\\d\\d)(\\d\\d)(\\d\\d)[0-7][0-9A-F]{7}")))
      << s;
  // Made now: today's date, and a time between the two readings (unless midnight passed).
  if (before.wDay == after.wDay) {
    char date[8];
    snprintf(date, sizeof date, "%02u%02u%02u", before.wYear % 100u, before.wMonth, before.wDay);
    EXPECT_EQ(m[1].str(), date);
    const int t = std::stoi(m[2]) * 3600 + std::stoi(m[3]) * 60 + std::stoi(m[4]);
    EXPECT_GE(t, before.wHour * 3600 + before.wMinute * 60 + before.wSecond);
    EXPECT_LE(t, after.wHour * 3600 + after.wMinute * 60 + after.wSecond);
  }
  EXPECT_EQ(Get(), id);
  EXPECT_EQ(Get(), id);
  // Another user's identifier differs (a fresh one made in its place).
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"VelUID");
  EXPECT_NE(Get(), id);
}

TEST_F(Win32InstallationID, AValueOfAnotherTypeGivesNothingAndStays) {
  const DWORD one = 1;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"VelUID", REG_DWORD, &one, sizeof one), ERROR_SUCCESS);
  EXPECT_EQ(Get(), L"");
  std::wstring ignored;
  EXPECT_EQ(Stored(ignored), DWORD(REG_DWORD));
}

}  // namespace
