#include <windows.h>

#include "config/config.h"

namespace Vel::Config {
namespace {

static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ);
static_assert(kRegDword == REG_DWORD && kRegDwordBigEndian == REG_DWORD_BIG_ENDIAN);

class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  bool QueryValue(const std::wstring& Name, std::uint32_t& Type, std::uint32_t& Size) override {
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(key_, Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return false;
    Type = type;
    Size = size;
    return true;
  }

  bool ReadValue(const std::wstring& Name, std::uint32_t& Type, std::uint8_t* Data,
                 std::uint32_t& Size) override {
    DWORD type = REG_NONE, size = Size;
    if (RegQueryValueExW(key_, Name.c_str(), nullptr, &type, Data, &size) != ERROR_SUCCESS)
      return false;
    Type = type;
    Size = size;
    return true;
  }

  bool SetValue(const std::wstring& Name, std::uint32_t Type, const std::uint8_t* Data,
                std::uint32_t Size) override {
    return RegSetValueExW(key_, Name.c_str(), 0, Type, Data, Size) == ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

class Win32RegistryApi final : public RegistryApi {
 public:
  std::unique_ptr<RegistryKey> CreateKey(const std::wstring& SubKey) override {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return nullptr;
    try {
      return std::make_unique<Win32RegistryKey>(key);
    } catch (...) {
      RegCloseKey(key);
      throw;
    }
  }
};

}  // namespace

RegistryApi& SystemRegistryApi() {
  static Win32RegistryApi api;
  return api;
}

TConfig::TConfig(const std::wstring& Path) : TConfig(Path, SystemRegistryApi()) {}

}  // namespace Vel::Config
