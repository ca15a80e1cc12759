// The update request takes the user's Internet Options proxy, as Internet Options stores it,
// and asks for TLS 1.1 and 1.2 where Windows 7 and 8.0 leave them off (an option that is
// refused keeps the defaults). The test service is its
// own proxy: it notes every request for an absolute address.
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/proxy.h"
#include "update/update.h"
#include "update/update_win32.h"
#include "test_env.h"

using namespace Vel::Update;

namespace {

constexpr wchar_t kSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

struct SavedValue {
  const wchar_t* key;
  const wchar_t* name;
  bool existed = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct OptionCall {
  DWORD option;
  DWORD value;  // the first DWORD of the buffer
};
std::vector<OptionCall> gOptions;
bool gRefuse = false;
BOOL WINAPI RecordOption(LPVOID, DWORD option, LPVOID buffer, DWORD length) {
  gOptions.push_back({option, buffer && length >= sizeof(DWORD) ? *static_cast<DWORD*>(buffer) : 0});
  return !gRefuse;
}
bool Asked(DWORD option) {
  for (const OptionCall& c : gOptions)
    if (c.option == option) return true;
  return false;
}

class Win32UserProxy : public ::testing::Test {
 protected:
  void SetUp() override {
    service_ = Env(L"QUORVANE_TEST_HTTP");
    closed_ = Env(L"QUORVANE_TEST_HTTP_CLOSED");
    if (service_.empty()) GTEST_SKIP() << "no test service (run through tests/e2e/run_win_tests.py)";
    for (SavedValue& v : saved_) {
      HKEY key;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, v.key, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
      DWORD size = 0;
      if (RegQueryValueExW(key, v.name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
        v.data.resize(size);
        v.existed = RegQueryValueExW(key, v.name, nullptr, &v.type, v.data.data(), &size) == ERROR_SUCCESS;
      }
      RegCloseKey(key);
    }
    gOptions.clear();
    gRefuse = false;
  }
  void TearDown() override {
    HttpTestSeam() = {};
    for (SavedValue& v : saved_) {
      HKEY key;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, v.key, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        continue;
      if (v.existed) RegSetValueExW(key, v.name, 0, v.type, v.data.data(), DWORD(v.data.size()));
      else RegDeleteValueW(key, v.name);
      RegCloseKey(key);
    }
  }

  // As Internet Options writes a proxy server set by hand: the values, and the connection record.
  void SetUserProxy(const std::string& proxy) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD enable = 1;
    const std::wstring server(proxy.begin(), proxy.end());
    RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
    RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   DWORD((server.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    // Version 0x46, a change counter, flags direct|proxy, then the server, no bypass, no script.
    std::vector<BYTE> record;
    auto dword = [&](DWORD d) {
      for (int i = 0; i < 4; ++i) record.push_back(BYTE(d >> (8 * i)));
    };
    dword(0x46), dword(1), dword(0x3);
    dword(DWORD(proxy.size()));
    record.insert(record.end(), proxy.begin(), proxy.end());
    dword(0), dword(0);
    record.resize(record.size() + 32, 0);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"DefaultConnectionSettings", 0, REG_BINARY, record.data(), DWORD(record.size()));
    RegCloseKey(key);
  }
  std::string Port() const {
    const std::wstring port = service_.substr(service_.rfind(L':') + 1);
    return std::string(port.begin(), port.end());
  }
  HttpResult Get(const std::wstring& url, std::string& body) {
    return SystemHttpApi()->Get(url, kUserAgent, {}, 4096, body);
  }

  std::wstring service_, closed_;
  SavedValue saved_[4] = {{kSettings, L"ProxyEnable"},
                          {kSettings, L"ProxyServer"},
                          {kSettings, L"ProxyOverride"},
                          {kConnections, L"DefaultConnectionSettings"}};
};

TEST_F(Win32UserProxy, TheUsersProxyCarriesTheRequest) {
  SetUserProxy("127.0.0.1:" + Port());
  // The address itself refuses connections: only the proxy can answer.
  std::string body;
  ASSERT_EQ(Get(closed_ + L"/answer", body), HttpResult::Answered);
  EXPECT_NE(body.find("\"update\""), std::string::npos) << body;

  std::string proxied;
  ASSERT_EQ(Get(service_ + L"/proxied", proxied), HttpResult::Answered);
  const std::wstring wanted = closed_ + L"/answer\n";
  EXPECT_NE(proxied.find(std::string(wanted.begin(), wanted.end())), std::string::npos) << proxied;
}

TEST_F(Win32UserProxy, WithoutAProxyOrAnOldWindowsNothingIsSet) {
  HttpTestSeam().SetOption = RecordOption;
  HttpTestSeam().Major = 10;
  std::string body;
  ASSERT_EQ(Get(service_ + L"/echo", body), HttpResult::Answered);
  EXPECT_TRUE(gOptions.empty());
}

TEST_F(Win32UserProxy, Windows7And8AskForTls11And12) {
  HttpTestSeam().SetOption = RecordOption;
  const DWORD modern = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                       WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  struct Case {
    unsigned major, minor;
    bool asks;
  } cases[] = {{6, 1, true}, {6, 2, true}, {6, 3, false}, {10, 0, false}};
  for (const Case& c : cases) {
    gOptions.clear();
    HttpTestSeam().Major = c.major;
    HttpTestSeam().Minor = c.minor;
    std::string body;
    EXPECT_EQ(Get(service_ + L"/echo", body), HttpResult::Answered);
    EXPECT_EQ(Asked(WINHTTP_OPTION_SECURE_PROTOCOLS), c.asks) << c.major << "." << c.minor;
    for (const OptionCall& o : gOptions) {
      if (o.option == WINHTTP_OPTION_SECURE_PROTOCOLS) {
        EXPECT_EQ(o.value, modern);
      }
    }
  }
  // An old 7 that knows no TLS 1.2 refuses the option: the request goes on all the same.
  gRefuse = true;
  HttpTestSeam().Major = 6;
  HttpTestSeam().Minor = 1;
  std::string body;
  EXPECT_EQ(Get(service_ + L"/echo", body), HttpResult::Answered);
}

}  // namespace
