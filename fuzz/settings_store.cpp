// The settings store's reads over a registry whose types, sizes and bytes the fuzzer chooses:
// whatever a value holds, a read gives a value or its default and never touches what is stored.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/config.h"
#include "fuzz/fuzz_input.h"

namespace {

using namespace Vel::Config;

struct Value {
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  std::uint32_t claimedSize;  // what a query answers, which need not be the data's size
};

class FuzzKey final : public RegistryKey {
 public:
  explicit FuzzKey(std::map<std::wstring, Value>& values) : values_(values) {}
  bool QueryValue(const std::wstring& Name, std::uint32_t& Type, std::uint32_t& Size) override {
    auto it = values_.find(Name);
    if (it == values_.end()) return false;
    Type = it->second.type;
    Size = it->second.claimedSize;
    return true;
  }
  bool ReadValue(const std::wstring& Name, std::uint32_t& Type, std::uint8_t* Data, std::uint32_t& Size) override {
    auto it = values_.find(Name);
    if (it == values_.end()) return false;
    Type = it->second.type;
    if (it->second.data.size() > Size) return false;
    if (!it->second.data.empty()) std::memcpy(Data, it->second.data.data(), it->second.data.size());
    Size = std::uint32_t(it->second.data.size());
    return true;
  }
  bool SetValue(const std::wstring&, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    fuzz::Check(false);  // reads never write
    return false;
  }

 private:
  std::map<std::wstring, Value>& values_;
};

class FuzzRegistry final : public RegistryApi {
 public:
  std::map<std::wstring, Value> values;
  std::unique_ptr<RegistryKey> CreateKey(const std::wstring&) override { return std::make_unique<FuzzKey>(values); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  FuzzRegistry registry;
  const wchar_t* names[] = {L"enabled_usage_phys", L"limit_usage_phys", L"cleanontray", L"VelUID"};
  for (const wchar_t* name : names) {
    if (in.Empty()) break;
    Value v;
    v.type = in.Byte() % 12;
    const std::string_view bytes = in.Piece();
    v.data.assign(bytes.begin(), bytes.end());
    v.claimedSize = in.Byte() & 1 ? std::uint32_t(v.data.size()) : in.Word() % 4096;
    registry.values[name] = std::move(v);
  }
  TConfig config(L"Vantorel\\Quorvane", registry);
  for (const wchar_t* name : names) {
    (void)config.ValueExists(name);
    const std::int32_t i = config.ReadInteger(name, 6);
    const bool b = config.ReadBoolean(name, false);
    const std::wstring s = config.ReadString(name, L"default");
    (void)i, (void)b, (void)s;
  }
  return 0;
}
