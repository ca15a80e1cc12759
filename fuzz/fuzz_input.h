// Splits a fuzzer's input into the pieces a target needs, deterministically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/strings.h"

namespace fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
  // Bytes up to the next separator byte (0x1F), or the rest.
  std::string_view Piece() {
    const std::size_t at = rest_.find('\x1F');
    const std::string_view piece = rest_.substr(0, at);
    rest_ = at == std::string_view::npos ? std::string_view() : rest_.substr(at + 1);
    return piece;
  }
  std::wstring Text() { return Vel::Strings::DecodeUtf8(Piece()); }
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  std::uint32_t Word() { return Byte() | Byte() << 8 | Byte() << 16 | std::uint32_t(Byte()) << 24; }
  bool Empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// A failed property is a crash the fuzzer reports, with its input.
inline void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace fuzz
