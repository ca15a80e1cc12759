#include "app/status_format.h"

#include <cfenv>
#include <cmath>
#include <cwchar>
#include <limits>

namespace app {
namespace {

// Appends the grouped integer part of a non-negative whole number.
void AppendGrouped(unsigned long long whole, const NumberFormat& nf, std::wstring& out) {
  wchar_t digits[24];
  int n = 0;
  do {
    digits[n++] = wchar_t(L'0' + whole % 10);
    whole /= 10;
  } while (whole);
  // Mark where separators go, counting from the right.
  bool sepBefore[24] = {};
  int pos = 0, g = 0;
  while (nf.GroupCount > 0) {
    const int size = nf.Groups[g < nf.GroupCount ? g : nf.GroupCount - 1];
    if (size == 0) break;
    pos += size;
    if (pos >= n) break;
    sepBefore[pos] = true;
    if (g + 1 < nf.GroupCount)
      ++g;
    else if (!nf.RepeatLast)
      break;
  }
  for (int i = n - 1; i >= 0; --i) {
    out += digits[i];
    if (i > 0 && sepBefore[i]) out += nf.Thousand;
  }
}

void AppendNumber(double value, int decimals, const NumberFormat& nf, std::wstring& out) {
  if (!std::isfinite(value)) {
    out += L"0";
    return;
  }
  const long double factor = decimals == 2 ? 100.0L : 1.0L;
  long double scaled = std::fabs(static_cast<long double>(value)) * factor;
  if (scaled > static_cast<long double>(std::numeric_limits<long long>::max())) scaled = 0;
  const unsigned long long units = static_cast<unsigned long long>(std::llround(scaled));
  const bool negative = value < 0 && units != 0;
  if (negative) out += L'-';
  const unsigned long long per = decimals == 2 ? 100 : 1;
  AppendGrouped(units / per, nf, out);
  if (decimals == 2) {
    out += nf.Decimal;
    out += wchar_t(L'0' + (units % 100) / 10);
    out += wchar_t(L'0' + units % 10);
  }
}

}  // namespace

long long RoundHalfEven(long double value) {
  const int mode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const long double r = std::nearbyint(value);
  std::fesetround(mode);
  return static_cast<long long>(r);
}

double ToMiB(std::uint64_t bytes) {
  return static_cast<double>(RoundHalfEven(static_cast<long double>(bytes) / 1048576.0L));
}

void FormatStatus(std::wstring_view format, std::initializer_list<double> args, const NumberFormat& nf,
                  std::wstring& out) {
  out.clear();
  // One allocation for the whole text: a grouped number with decimals needs at most 40 places.
  out.reserve(format.size() + 40 * args.size());
  auto arg = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const wchar_t c = format[i];
    if (c != L'%') {
      out += c;
      continue;
    }
    if (format.compare(i, 2, L"%%") == 0) {
      out += L'%';
      i += 1;
    } else if (format.compare(i, 2, L"%n") == 0) {
      if (arg != args.end()) AppendNumber(*arg++, 2, nf, out);
      i += 1;
    } else if (format.compare(i, 4, L"%.0n") == 0) {
      if (arg != args.end()) AppendNumber(*arg++, 0, nf, out);
      i += 3;
    } else {
      out += c;
    }
  }
}

long long WholeNumberOr(const std::wstring& text, long long fallback) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  if (i == text.size()) return fallback;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return fallback;
    if (value > (std::numeric_limits<long long>::max() - 9) / 10) return fallback;
    value = value * 10 + (text[i] - L'0');
  }
  return negative ? -value : value;
}

}  // namespace app
