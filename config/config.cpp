#include "config/config.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace Vel::Config {

namespace {

using Bytes = std::vector<std::uint8_t>;

bool IsDword(std::uint32_t type) { return type == kRegDword || type == kRegDwordBigEndian; }
bool IsText(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

void PutUnit(Bytes& out, std::uint32_t unit) {
  out.push_back(std::uint8_t(unit));
  out.push_back(std::uint8_t(unit >> 8));
}

// The registry holds UTF-16LE whatever the width of wchar_t.
Bytes EncodeText(const std::wstring& text) {
  Bytes out;
  out.reserve((text.size() + 1) * 2);
  for (wchar_t c : text) {
    const auto code = std::uint32_t(c);
    if (code > 0xFFFF) {
      PutUnit(out, 0xD800 + ((code - 0x10000) >> 10));
      PutUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      PutUnit(out, code);
    }
  }
  PutUnit(out, 0);
  return out;
}

std::wstring DecodeText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  const std::size_t units = size / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t unit = data[2 * i] | std::uint32_t(data[2 * i + 1]) << 8;
    if (unit == 0) break;
    if constexpr (sizeof(wchar_t) == 4) {
      if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
        const std::uint32_t low = data[2 * i + 2] | std::uint32_t(data[2 * i + 3]) << 8;
        if (low >= 0xDC00 && low < 0xE000) {
          text.push_back(wchar_t(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          ++i;
          continue;
        }
      }
    }
    text.push_back(wchar_t(unit));
  }
  return text;
}

}  // namespace

TConfig::TConfig(const std::wstring& Path, RegistryApi& api) {
  try {
    FReg = api.CreateKey(L"Software\\" + Path);
  } catch (...) {
    // A store without a key reads defaults and drops writes; that is all a failure means here.
  }
}

TConfig::~TConfig() = default;

bool TConfig::ValueExists(const std::wstring& Name) {
  std::uint32_t type = 0, size = 0;
  return FReg && FReg->QueryValue(Name, type, size);
}

std::int32_t TConfig::ReadInteger(const std::wstring& Name, std::int32_t Default) {
  std::uint32_t type = 0, size = 0;
  if (!FReg || !FReg->QueryValue(Name, type, size)) return Default;
  std::uint8_t data[4] = {};
  size = sizeof data;
  // Another tool may have left anything under our names; the program must still start.
  if (!FReg->ReadValue(Name, type, data, size) || !IsDword(type) || size != sizeof data)
    return Default;
  // Big-endian DWORDs are taken as they lie, like little-endian ones.
  return std::int32_t(data[0] | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
                      std::uint32_t(data[3]) << 24);
}

bool TConfig::ReadBoolean(const std::wstring& Name, bool Default) {
  return ReadInteger(Name, Default ? 1 : 0) != 0;
}

std::wstring TConfig::ReadString(const std::wstring& Name, const std::wstring& Default) {
  std::uint32_t type = 0, size = 0;
  if (!FReg || !FReg->QueryValue(Name, type, size)) return Default;
  if (!IsText(type)) return Default;
  if (size == 0) return std::wstring();
  Bytes data(size);
  if (!FReg->ReadValue(Name, type, data.data(), size) || !IsText(type)) return Default;
  // Text need not be terminated in the registry; never trust a size beyond the buffer.
  return DecodeText(data.data(), std::min<std::size_t>(size, data.size()));
}

std::int32_t TConfig::WriteInteger(const std::wstring& Name, std::int32_t Value) {
  try {
    const auto v = std::uint32_t(Value);
    const std::uint8_t data[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                  std::uint8_t(v >> 24)};
    if (FReg) FReg->SetValue(Name, kRegDword, data, sizeof data);
  } catch (...) {
    // Settings writes never fail visibly.
  }
  return Value;
}

bool TConfig::WriteBoolean(const std::wstring& Name, bool Value) {
  WriteInteger(Name, Value ? 1 : 0);
  return Value;
}

std::wstring TConfig::WriteString(const std::wstring& Name, const std::wstring& Value) {
  try {
    const Bytes data = EncodeText(Value);
    if (FReg && data.size() <= std::numeric_limits<std::uint32_t>::max())
      FReg->SetValue(Name, kRegSz, data.data(), std::uint32_t(data.size()));
  } catch (...) {
    // Settings writes never fail visibly.
  }
  return Value;
}

}  // namespace Vel::Config
