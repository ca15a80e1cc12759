#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "config/config.h"

using namespace Vel::Config;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

struct Value {
  std::uint32_t type;
  Bytes data;
  bool operator==(const Value&) const = default;
};

enum class Fault { None, Refuse, Throw };

// One registry key in memory, with the real API's buffer rules.
class FakeRegistry : public RegistryApi {
 public:
  std::map<std::wstring, Value> values;
  std::vector<std::wstring> opened;
  int closes = 0;
  int sets = 0;
  Fault open = Fault::None, set = Fault::None;
  bool readFails = false;

  std::unique_ptr<RegistryKey> CreateKey(const std::wstring& SubKey) override {
    opened.push_back(SubKey);
    if (open == Fault::Throw) throw std::runtime_error("create");
    if (open == Fault::Refuse) return nullptr;
    return std::make_unique<Key>(*this);
  }

 private:
  class Key : public RegistryKey {
   public:
    explicit Key(FakeRegistry& r) : r_(r) {}
    ~Key() override { ++r_.closes; }
    bool QueryValue(const std::wstring& Name, std::uint32_t& Type, std::uint32_t& Size) override {
      auto it = r_.values.find(Name);
      if (it == r_.values.end()) return false;
      Type = it->second.type;
      Size = std::uint32_t(it->second.data.size());
      return true;
    }
    bool ReadValue(const std::wstring& Name, std::uint32_t& Type, std::uint8_t* Data,
                   std::uint32_t& Size) override {
      auto it = r_.values.find(Name);
      if (r_.readFails || it == r_.values.end() || it->second.data.size() > Size) return false;
      Type = it->second.type;
      Size = std::uint32_t(it->second.data.size());
      std::copy(it->second.data.begin(), it->second.data.end(), Data);
      return true;
    }
    bool SetValue(const std::wstring& Name, std::uint32_t Type, const std::uint8_t* Data,
                  std::uint32_t Size) override {
      ++r_.sets;
      if (r_.set == Fault::Throw) throw std::runtime_error("set");
      if (r_.set == Fault::Refuse) return false;
      r_.values[Name] = {Type, Bytes(Data, Data + Size)};
      return true;
    }

   private:
    FakeRegistry& r_;
  };
};

Bytes Utf16(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(std::uint8_t(c));
    out.push_back(std::uint8_t(c >> 8));
  }
  return out;
}

}  // namespace

TEST(Config, OpensTheKeyBelowSoftwareAndClosesItOnce) {
  FakeRegistry reg;
  {
    TConfig config(L"Vantorel\\Quorvane", reg);
    config.ReadInteger(L"limit_minute", 3);
    config.WriteInteger(L"limit_minute", 4);
    EXPECT_EQ(reg.closes, 0);
  }
  EXPECT_EQ(reg.opened, std::vector<std::wstring>{L"Software\\Vantorel\\Quorvane"});
  EXPECT_EQ(reg.closes, 1);
}

TEST(Config, MissingValuesReadAsTheDefaultAndNothingIsWritten) {
  FakeRegistry reg;
  TConfig config(L"Vantorel\\Quorvane", reg);
  for (std::int32_t def : {0, 7, -5, INT_MIN}) EXPECT_EQ(config.ReadInteger(L"missing", def), def);
  for (bool def : {false, true}) EXPECT_EQ(config.ReadBoolean(L"missing", def), def);
  for (const wchar_t* def : {L"", L"abc"}) EXPECT_EQ(config.ReadString(L"missing", def), def);
  EXPECT_TRUE(reg.values.empty());
  EXPECT_EQ(reg.sets, 0);
}

TEST(Config, WritesStoreTheExactTypeAndBytesAndReturnTheirValue) {
  FakeRegistry reg;
  TConfig config(L"Vantorel\\Quorvane", reg);
  EXPECT_EQ(config.WriteInteger(L"minus", -1), -1);
  EXPECT_EQ(config.WriteInteger(L"order", 0x12345678), 0x12345678);
  EXPECT_TRUE(config.WriteBoolean(L"yes", true));
  EXPECT_FALSE(config.WriteBoolean(L"no", false));
  EXPECT_EQ(config.WriteString(L"text", L"ab"), L"ab");
  EXPECT_EQ(config.WriteString(L"empty", L""), L"");
  EXPECT_EQ(config.WriteString(L"korean", L"\uD658\uACBD"), L"\uD658\uACBD");
  EXPECT_EQ(config.WriteString(L"emoji", L"\U0001F600"), L"\U0001F600");

  const std::map<std::wstring, Value> expected{
      {L"minus", {kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}},
      {L"order", {kRegDword, {0x78, 0x56, 0x34, 0x12}}},
      {L"yes", {kRegDword, {1, 0, 0, 0}}},
      {L"no", {kRegDword, {0, 0, 0, 0}}},
      {L"text", {kRegSz, Utf16(std::u16string_view(u"ab\0", 3))}},
      {L"empty", {kRegSz, {0, 0}}},
      {L"korean", {kRegSz, Utf16(std::u16string_view(u"\uD658\uACBD\0", 3))}},
      // One character outside the BMP is a surrogate pair however wide wchar_t is.
      {L"emoji", {kRegSz, {0x3D, 0xD8, 0x00, 0xDE, 0, 0}}},
  };
  EXPECT_EQ(reg.values, expected);
}

TEST(Config, WrittenValuesReadBack) {
  FakeRegistry reg;
  TConfig config(L"Vantorel\\Quorvane", reg);
  for (std::int32_t v : {0, 1, 2, -1, INT_MIN, INT_MAX}) {
    config.WriteInteger(L"n", v);
    EXPECT_EQ(config.ReadInteger(L"n", 42), v);
  }
  for (bool v : {true, false}) {
    config.WriteBoolean(L"b", v);
    EXPECT_EQ(config.ReadBoolean(L"b", !v), v);
  }
  for (const wchar_t* v : {L"", L"Quorvane", L"\uD658\uACBD\uC124\uC815", L"a\U0001F600b"}) {
    config.WriteString(L"s", v);
    EXPECT_EQ(config.ReadString(L"s", L"default"), v);
  }
}

TEST(Config, AWriteReplacesAValueOfAnotherType) {
  FakeRegistry reg;
  reg.values[L"v"] = {kRegSz, Utf16(std::u16string_view(u"text\0", 5))};
  TConfig config(L"Vantorel\\Quorvane", reg);
  config.WriteInteger(L"v", 5);
  EXPECT_EQ(reg.values[L"v"], (Value{kRegDword, {5, 0, 0, 0}}));
  EXPECT_EQ(config.ReadInteger(L"v", 0), 5);
}

// What another tool may have left under a name, and how the integer reads see it.
struct IntegerCase {
  const char* what;
  Value stored;
  bool valid;  // false: reads as the default
  std::int32_t integer;
};

TEST(Config, IntegerAndBooleanReadsOfStoredData) {
  const IntegerCase cases[] = {
      {"dword 2", {kRegDword, {2, 0, 0, 0}}, true, 2},
      {"dword 0", {kRegDword, {0, 0, 0, 0}}, true, 0},
      {"dword -1", {kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}, true, -1},
      {"big endian as it lies", {kRegDwordBigEndian, {0, 0, 0, 1}}, true, 0x01000000},
      {"short text", {kRegSz, Utf16(std::u16string_view(u"1\0", 2))}, false, 0},
      {"long text", {kRegSz, Utf16(std::u16string_view(u"12\0", 3))}, false, 0},
      {"expandable text", {kRegExpandSz, {0x31, 0, 0, 0}}, false, 0},
      {"binary of four bytes", {kRegBinary, {1, 0, 0, 0}}, false, 0},
      {"qword", {kRegQword, {1, 0, 0, 0, 0, 0, 0, 0}}, false, 0},
      {"dword of eight bytes", {kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}}, false, 0},
      {"dword of two bytes", {kRegDword, {1, 0}}, false, 0},
      {"dword without data", {kRegDword, {}}, false, 0},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry reg;
    reg.values[L"v"] = c.stored;
    TConfig config(L"Vantorel\\Quorvane", reg);
    EXPECT_EQ(config.ReadInteger(L"v", 42), c.valid ? c.integer : 42);
    for (bool def : {false, true})
      EXPECT_EQ(config.ReadBoolean(L"v", def), c.valid ? c.integer != 0 : def);
    // Reading never repairs or rewrites what it found.
    EXPECT_EQ(reg.values[L"v"], c.stored);
    EXPECT_EQ(reg.sets, 0);
  }
}

struct StringCase {
  const char* what;
  Value stored;
  const wchar_t* expected;  // null: reads as the default
};

TEST(Config, StringReadsOfStoredData) {
  const StringCase cases[] = {
      {"text", {kRegSz, Utf16(std::u16string_view(u"abc\0", 4))}, L"abc"},
      {"empty without data", {kRegSz, {}}, L""},
      {"empty with terminator", {kRegSz, {0, 0}}, L""},
      {"expandable, not expanded", {kRegExpandSz, Utf16(std::u16string_view(u"%TEMP%\\q\0", 9))}, L"%TEMP%\\q"},
      {"zero in the middle", {kRegSz, Utf16(std::u16string_view(u"ab\0cd\0", 6))}, L"ab"},
      {"unterminated", {kRegSz, Utf16(u"abc")}, L"abc"},
      {"odd byte count", {kRegSz, {0x61, 0, 0x62, 0, 0x63}}, L"ab"},
      {"surrogate pair", {kRegSz, {0x3D, 0xD8, 0x00, 0xDE, 0, 0}}, L"\U0001F600"},
      {"dword", {kRegDword, {1, 0, 0, 0}}, nullptr},
      {"dword without data", {kRegDword, {}}, nullptr},
      {"binary", {kRegBinary, Utf16(std::u16string_view(u"abc\0", 4))}, nullptr},
      {"multi-string", {kRegMultiSz, Utf16(std::u16string_view(u"a\0b\0\0", 5))}, nullptr},
  };
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeRegistry reg;
    reg.values[L"v"] = c.stored;
    TConfig config(L"Vantorel\\Quorvane", reg);
    EXPECT_EQ(config.ReadString(L"v", L"default"), c.expected ? c.expected : L"default");
    EXPECT_EQ(reg.values[L"v"], c.stored);
    EXPECT_EQ(reg.sets, 0);
  }
}

TEST(Config, EveryReadGoesToTheRegistry) {
  FakeRegistry reg;
  TConfig config(L"Vantorel\\Quorvane", reg);
  EXPECT_EQ(config.ReadInteger(L"v", 9), 9);
  reg.values[L"v"] = {kRegDword, {3, 0, 0, 0}};
  EXPECT_EQ(config.ReadInteger(L"v", 9), 3);
  reg.values.erase(L"v");
  EXPECT_EQ(config.ReadInteger(L"v", 9), 9);
}

TEST(Config, AFailedReadGivesTheDefault) {
  FakeRegistry reg;
  reg.values[L"n"] = {kRegDword, {1, 0, 0, 0}};
  reg.values[L"s"] = {kRegSz, Utf16(std::u16string_view(u"x\0", 2))};
  reg.readFails = true;
  TConfig config(L"Vantorel\\Quorvane", reg);
  EXPECT_EQ(config.ReadInteger(L"n", 7), 7);
  EXPECT_FALSE(config.ReadBoolean(L"n", false));
  EXPECT_EQ(config.ReadString(L"s", L"default"), L"default");
}

TEST(Config, WithoutAKeyReadsGiveDefaultsAndWritesAreDropped) {
  for (Fault fault : {Fault::Refuse, Fault::Throw}) {
    FakeRegistry reg;
    reg.open = fault;
    {
      TConfig config(L"Vantorel\\Quorvane", reg);
      EXPECT_EQ(config.WriteInteger(L"n", 5), 5);
      EXPECT_TRUE(config.WriteBoolean(L"b", true));
      EXPECT_EQ(config.WriteString(L"s", L"x"), L"x");
      EXPECT_EQ(config.ReadInteger(L"n", 7), 7);
      EXPECT_FALSE(config.ReadBoolean(L"b", false));
      EXPECT_EQ(config.ReadString(L"s", L"default"), L"default");
    }
    EXPECT_EQ(reg.opened.size(), 1u);
    EXPECT_EQ(reg.sets, 0);
    EXPECT_TRUE(reg.values.empty());
    EXPECT_EQ(reg.closes, 0);
  }
}

TEST(Config, RefusedWritesAreSwallowedAndReturnTheirValue) {
  for (Fault fault : {Fault::Refuse, Fault::Throw}) {
    FakeRegistry reg;
    reg.values[L"n"] = {kRegDword, {1, 0, 0, 0}};
    reg.set = fault;
    TConfig config(L"Vantorel\\Quorvane", reg);
    EXPECT_EQ(config.WriteInteger(L"n", 5), 5);
    EXPECT_FALSE(config.WriteBoolean(L"n", false));
    EXPECT_EQ(config.WriteString(L"n", L"x"), L"x");
    EXPECT_EQ(reg.sets, 3);
    EXPECT_EQ(config.ReadInteger(L"n", 7), 1);
  }
}
