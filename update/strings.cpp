#include "update/strings.h"

#include <algorithm>
#include <cstdint>

namespace Vel::Strings {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::wstring UpperAscii(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out)
    if (c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
  return out;
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      out.push_back(wchar_t(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      return;
    }
  }
  out.push_back(wchar_t(cp));
}

// A \u escape gives one UTF-16 unit; where wchar_t holds code points, a completed pair is joined
// so the text means the same on both sides.
void AppendUnit(std::wstring& out, std::uint32_t unit) {
  if constexpr (sizeof(wchar_t) == 4) {
    if (unit >= 0xDC00 && unit < 0xE000 && !out.empty()) {
      const auto high = std::uint32_t(out.back());
      if (high >= 0xD800 && high < 0xDC00) {
        out.back() = wchar_t(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
        return;
      }
    }
  }
  out.push_back(wchar_t(unit));
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::wstring ExtractBetween(const std::wstring& Source, const std::wstring& StartMark, const std::wstring& EndMark) {
  std::wstring u = UpperAscii(Source);
  const std::wstring s = UpperAscii(StartMark);
  const std::wstring e = UpperAscii(EndMark);
  if (e == L"\"" || e == L"'") {
    // A backslash escapes whatever follows it, also another backslash: "a\\" ends at its quote.
    // Masking keeps positions in u equal to positions in Source.
    for (std::size_t i = 0; i + 1 < u.size(); ++i) {
      if (u[i] != L'\\') continue;
      if (u[i + 1] == e[0]) u[i + 1] = L'\\';
      ++i;
    }
  }
  std::size_t begin = 0;
  if (!s.empty()) {
    const std::size_t at = u.find(s);
    if (at == std::wstring::npos) return {};
    begin = at + s.size();
  }
  std::size_t end = Source.size();
  if (!e.empty()) {
    end = u.find(e, begin);
    if (end == std::wstring::npos) return {};
  }
  return Source.substr(begin, end - begin);
}

std::optional<std::wstring> JsonUnescape(const std::wstring& Text) {
  std::wstring out;
  out.reserve(Text.size());
  for (std::size_t i = 0; i < Text.size(); ++i) {
    const wchar_t c = Text[i];
    if (c != L'\\') {
      out.push_back(c);
      continue;
    }
    if (++i >= Text.size()) break;  // a lone backslash at the end vanishes
    switch (Text[i]) {
      case L'"': case L'\'': case L'/': case L'\\': out.push_back(Text[i]); break;
      case L'b': out.push_back(L'\b'); break;
      case L'f': out.push_back(L'\f'); break;
      case L'n': out.push_back(L'\n'); break;
      case L'r': out.push_back(L'\r'); break;
      case L't': out.push_back(L'\t'); break;
      case L'u': {
        const std::size_t count = std::min<std::size_t>(4, Text.size() - i - 1);
        if (count == 0) return std::nullopt;
        std::uint32_t unit = 0;
        for (std::size_t k = 1; k <= count; ++k) {
          const int d = HexDigit(Text[i + k]);
          if (d < 0) return std::nullopt;
          unit = unit * 16 + std::uint32_t(d);
        }
        AppendUnit(out, unit);
        i += count;
        break;
      }
      default: break;
    }
  }
  return out;
}

std::wstring DecodeUtf8(std::string_view Bytes) {
  std::wstring out;
  out.reserve(Bytes.size());
  std::size_t i = 0;
  while (i < Bytes.size()) {
    const auto b = std::uint8_t(Bytes[i]);
    if (b < 0x80) {
      out.push_back(wchar_t(b));
      ++i;
      continue;
    }
    std::size_t len = 0;
    char32_t cp = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07, min = 0x10000;
    std::size_t k = 1;
    for (; len && k < len && i + k < Bytes.size(); ++k) {
      const auto t = std::uint8_t(Bytes[i + k]);
      if ((t & 0xC0) != 0x80) break;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (len == 0 || k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      // Skip only the bytes that belonged to the broken sequence.
      AppendCodePoint(out, kReplacement);
      i += len == 0 ? 1 : k;
      continue;
    }
    AppendCodePoint(out, cp);
    i += len;
  }
  return out;
}

}  // namespace Vel::Strings
