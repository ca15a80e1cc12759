// The settings store against the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include "scratch_key.h"

#include <optional>
#include <string>
#include <vector>

#include "config/config.h"

using Vel::Config::TConfig;

namespace {

using scratch::KeyExists;
using scratch::kTestKey;
constexpr wchar_t kPath[] = L"Vantorel\\QuorvaneTest\\Settings";
constexpr wchar_t kKey[] = L"Software\\Vantorel\\QuorvaneTest\\Settings";

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const RawValue&) const = default;
};

// Reads a value directly, bypassing the store; type REG_NONE when it is missing.
RawValue Raw(const wchar_t* name) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  RawValue v;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    v.data.resize(size);
    status = RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &size);
    v.data.resize(size);
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? v : RawValue{};
}

void SetRaw(const wchar_t* name, const RawValue& v) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, v.type, v.data.data(), DWORD(v.data.size())),
            ERROR_SUCCESS);
}

std::vector<BYTE> Text(const std::wstring& s) {
  const auto* p = reinterpret_cast<const BYTE*>(s.c_str());
  return {p, p + (s.size() + 1) * sizeof(wchar_t)};
}

using Win32Config = scratch::ScratchKeyTest;

}  // namespace

TEST_F(Win32Config, CreatesEveryLevelAndALaterStoreFindsTheValues) {
  ASSERT_FALSE(KeyExists(kTestKey));
  {
    TConfig config(kPath);
    config.WriteInteger(L"limit_minute", 4);
    config.WriteBoolean(L"cleanontray", true);
    config.WriteString(L"name", L"\uD658\uACBD \U0001F600");
  }
  EXPECT_TRUE(KeyExists(kTestKey));
  EXPECT_TRUE(KeyExists(kKey));

  TConfig later(kPath);
  EXPECT_EQ(later.ReadInteger(L"limit_minute", 3), 4);
  EXPECT_TRUE(later.ReadBoolean(L"cleanontray", false));
  EXPECT_EQ(later.ReadString(L"name", L""), L"\uD658\uACBD \U0001F600");
  EXPECT_EQ(later.ReadInteger(L"missing", 3), 3);
  EXPECT_EQ(Raw(L"missing"), RawValue{});
}

TEST_F(Win32Config, WritesLandWithTheirRegistryTypes) {
  {
    TConfig config(kPath);
    config.WriteInteger(L"minus", -1);
    config.WriteBoolean(L"yes", true);
    config.WriteString(L"text", L"ab");
    config.WriteString(L"empty", L"");
    config.WriteInteger(L"replaced", 1);
    config.WriteString(L"replaced", L"now text");
  }
  EXPECT_EQ(Raw(L"minus"), (RawValue{REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(Raw(L"yes"), (RawValue{REG_DWORD, {1, 0, 0, 0}}));
  EXPECT_EQ(Raw(L"text"), (RawValue{REG_SZ, {'a', 0, 'b', 0, 0, 0}}));
  EXPECT_EQ(Raw(L"empty"), (RawValue{REG_SZ, {0, 0}}));
  EXPECT_EQ(Raw(L"replaced"), (RawValue{REG_SZ, Text(L"now text")}));
}

TEST_F(Win32Config, ValuesLeftByAnotherToolReadAsTheyShould) {
  struct Case {
    const wchar_t* name;
    RawValue raw;
    std::optional<int> integer;  // empty: integer reads give the default
    const wchar_t* text;         // what ReadString gives with the default L"default"
  } const cases[] = {
      {L"dword2", {REG_DWORD, {2, 0, 0, 0}}, 2, L"default"},
      {L"bigendian", {REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}}, 0x01000000, L"default"},
      {L"short", {REG_SZ, Text(L"1")}, std::nullopt, L"1"},
      {L"long", {REG_SZ, Text(L"12345")}, std::nullopt, L"12345"},
      {L"expand", {REG_EXPAND_SZ, Text(L"%WINDIR%\\q")}, std::nullopt, L"%WINDIR%\\q"},
      {L"cut", {REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}}, std::nullopt, L"a"},
      {L"emptysz", {REG_SZ, {}}, std::nullopt, L""},
      {L"binary", {REG_BINARY, {1, 0, 0, 0}}, std::nullopt, L"default"},
      {L"qword", {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, std::nullopt, L"default"},
      {L"multi", {REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}}, std::nullopt, L"default"},
  };
  for (const Case& c : cases) SetRaw(c.name, c.raw);

  TConfig config(kPath);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)));
    EXPECT_EQ(config.ReadInteger(c.name, 42), c.integer.value_or(42));
    for (bool def : {false, true})
      EXPECT_EQ(config.ReadBoolean(c.name, def), c.integer ? *c.integer != 0 : def);
    EXPECT_EQ(config.ReadString(c.name, L"default"), c.text);
    EXPECT_EQ(Raw(c.name), c.raw);
  }
}

TEST_F(Win32Config, AKeyThatCannotBeCreatedGivesDefaultsAndDropsWrites) {
  // Key names are limited to 255 characters: the registry refuses this one.
  const std::wstring path = std::wstring(L"Vantorel\\QuorvaneTest\\") + std::wstring(300, L'k');
  TConfig config(path);
  EXPECT_EQ(config.WriteInteger(L"n", 5), 5);
  EXPECT_TRUE(config.WriteBoolean(L"b", true));
  EXPECT_EQ(config.WriteString(L"s", L"x"), L"x");
  EXPECT_EQ(config.ReadInteger(L"n", 7), 7);
  EXPECT_FALSE(config.ReadBoolean(L"b", false));
  EXPECT_EQ(config.ReadString(L"s", L"default"), L"default");
  EXPECT_FALSE(KeyExists((L"Software\\" + path).c_str()));
}
