// Whole numbers as text. The runtime's std::to_wstring goes through a full wide printf with
// floating point, which would be linked into the exe for these few digits.
#pragma once

#include <string>

namespace ui {

// Appends `value` in decimal, padded with zeros to at least `minDigits` digits.
inline void AppendDecimal(std::wstring& out, long long value, int minDigits = 1) {
  wchar_t digits[24];
  int n = 0;
  unsigned long long rest = value < 0 ? 0ull - static_cast<unsigned long long>(value) : value;
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + rest % 10);
    rest /= 10;
  } while (rest != 0 || (n < minDigits && n < 20));
  if (value < 0) out += L'-';
  while (n > 0) out += digits[--n];
}

inline std::wstring DecimalText(long long value) {
  std::wstring out;
  AppendDecimal(out, value);
  return out;
}

}  // namespace ui
