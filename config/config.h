// Vel.Config: a typed key-value store over one registry key of the current user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Vel::Config {

// Registry value types the store writes or accepts.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;

// An open registry key; destroying it closes the key.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // The value's type and data size in bytes, without reading it; false when it does not exist.
  virtual bool QueryValue(const std::wstring& Name, std::uint32_t& Type, std::uint32_t& Size) = 0;
  // Reads the value into Data. Size is the buffer's size on entry and the bytes read on return.
  // False when the read fails, also when the data does not fit.
  virtual bool ReadValue(const std::wstring& Name, std::uint32_t& Type, std::uint8_t* Data,
                         std::uint32_t& Size) = 0;
  // Stores the value, replacing one of that name and any type.
  virtual bool SetValue(const std::wstring& Name, std::uint32_t Type, const std::uint8_t* Data,
                        std::uint32_t Size) = 0;
};

// What the store needs of the registry.
class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  // Opens SubKey below HKEY_CURRENT_USER to read and write values (no more: a key the user may
  // read and write but not re-permission must still work), creating every missing level;
  // null when that fails.
  virtual std::unique_ptr<RegistryKey> CreateKey(const std::wstring& SubKey) = 0;
};

// The process's real implementation (Windows builds only).
RegistryApi& SystemRegistryApi();

// The key HKEY_CURRENT_USER\Software\<Path>, held open for the store's lifetime. A value that
// is missing, of another type or malformed reads as the caller's default; writes never fail
// visibly and return what they were given.
class TConfig {
 public:
  TConfig(const std::wstring& Path, RegistryApi& api);
  // Over the system registry (Windows builds only).
  explicit TConfig(const std::wstring& Path);
  ~TConfig();
  TConfig(const TConfig&) = delete;
  TConfig& operator=(const TConfig&) = delete;

  // Whether the value exists, whatever its type.
  bool ValueExists(const std::wstring& Name);
  std::int32_t ReadInteger(const std::wstring& Name, std::int32_t Default);
  bool ReadBoolean(const std::wstring& Name, bool Default);
  std::wstring ReadString(const std::wstring& Name, const std::wstring& Default);
  std::int32_t WriteInteger(const std::wstring& Name, std::int32_t Value);
  bool WriteBoolean(const std::wstring& Name, bool Value);
  std::wstring WriteString(const std::wstring& Name, const std::wstring& Value);

 private:
  // Null when the key could not be opened.
  std::unique_ptr<RegistryKey> FReg;
};

}  // namespace Vel::Config
