// The status lines' number formatting: MiB rounding and the %n / %.0n / %% directives, with the
// separators of the user's locale.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace app {

// The user's locale as number formatting needs it.
struct NumberFormat {
  wchar_t Decimal[8] = L".";
  wchar_t Thousand[8] = L",";
  // Digit groups from the right, as the locale's grouping text lists them ("3;0" → {3}, repeated;
  // "3;2;0" → {3, 2}, the last repeated). An empty list groups nothing.
  unsigned char Groups[4] = {3};
  unsigned char GroupCount = 1;
  bool RepeatLast = true;
};

// Bytes to whole MiB: the quotient in extended precision, rounded to nearest, halves to even.
double ToMiB(std::uint64_t bytes);
// Nearest integer, halves to even.
long long RoundHalfEven(long double value);

// Formats `format` into `out` (cleared first). %n takes the next argument with two decimals,
// %.0n with none, both grouped; %% is a percent sign. An unknown directive is copied as it
// stands; a directive without an argument left prints nothing.
void FormatStatus(std::wstring_view format, std::initializer_list<double> args, const NumberFormat& nf,
                  std::wstring& out);

// A list entry read as a whole number ("80"), or `fallback` when it is not one.
long long WholeNumberOr(const std::wstring& text, long long fallback);

}  // namespace app
