#include "update/version.h"

#include <cwchar>
#include <cwctype>
#include <string_view>

#include "ui/decimal_text.h"

namespace Vel::Update {

std::wstring FormatVersion(const std::wstring& Format, const std::optional<VersionNumbers>& numbers) {
  if (!numbers) return L"0.0.0.0";
  std::wstring out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < Format.size(); ++i) {
    if (Format[i] == L'%' && i + 1 < Format.size()) {
      if (Format[i + 1] == L'd') {
        if (next < numbers->size()) ui::AppendDecimal(out, (*numbers)[next++]);
        ++i;
        continue;
      }
      if (Format[i + 1] == L'%') {
        out += L'%';
        ++i;
        continue;
      }
    }
    out += Format[i];
  }
  return out;
}

namespace {

bool Alpha(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool Digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool Hex(wchar_t c) { return Digit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }
bool Unreserved(wchar_t c) { return Alpha(c) || Digit(c) || c == L'-' || c == L'.' || c == L'_' || c == L'~'; }
bool SubDelim(wchar_t c) { return c != 0 && std::wcschr(L"!$&'()*+,;=", c) != nullptr; }

// RFC 3986's characters of a part, with its percent-escapes well formed. Everything else
// (blanks, quotes, angle brackets, backslashes, braces, pipes, carets, backticks, controls,
// anything outside ASCII) is refused: a quote, for one, would end the "%1" of the browser's
// command line and let the rest become arguments of its own.
bool Part(std::wstring_view s, bool (*also)(wchar_t)) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (c == L'%') {
      if (i + 2 >= s.size() || !Hex(s[i + 1]) || !Hex(s[i + 2])) return false;
      i += 2;
    } else if (!Unreserved(c) && !SubDelim(c) && !also(c)) {
      return false;
    }
  }
  return true;
}

bool HostPunctuation(wchar_t) { return false; }
bool PathPunctuation(wchar_t c) { return c == L':' || c == L'@' || c == L'/'; }
bool QueryPunctuation(wchar_t c) { return PathPunctuation(c) || c == L'?'; }

bool Host(std::wstring_view host) {
  if (host.empty()) return false;
  if (host.front() == L'[') {  // an IP literal
    if (host.size() < 3 || host.back() != L']') return false;
    for (wchar_t c : host.substr(1, host.size() - 2))
      if (!Hex(c) && c != L':' && c != L'.') return false;
    return true;
  }
  return Part(host, HostPunctuation);
}

}  // namespace

bool IsWebAddress(const std::wstring& target) {
  std::wstring_view rest(target);
  std::wstring scheme;
  const std::size_t colon = rest.find(L"://");
  if (colon == std::wstring_view::npos) return false;
  for (wchar_t c : rest.substr(0, colon)) scheme += wchar_t(std::towlower(c));
  if (scheme != L"http" && scheme != L"https") return false;
  rest.remove_prefix(colon + 3);
  // The authority runs to the first "/", "?" or "#".
  const std::size_t end = rest.find_first_of(L"/?#");
  std::wstring_view authority = rest.substr(0, end);
  rest.remove_prefix(end == std::wstring_view::npos ? rest.size() : end);
  // No user name: "https://maker.example@elsewhere/" only pretends to go to the maker.
  if (authority.find(L'@') != std::wstring_view::npos) return false;
  const std::size_t portAt = authority.rfind(L':');
  if (portAt != std::wstring_view::npos && authority.find(L']', portAt) == std::wstring_view::npos) {
    const std::wstring_view port = authority.substr(portAt + 1);
    if (port.size() > 5) return false;
    for (wchar_t c : port)
      if (!Digit(c)) return false;
    authority = authority.substr(0, portAt);
  }
  if (!Host(authority)) return false;
  const std::size_t fragmentAt = rest.find(L'#');
  const std::wstring_view beforeFragment = rest.substr(0, fragmentAt);
  const std::size_t queryAt = beforeFragment.find(L'?');
  if (!Part(beforeFragment.substr(0, queryAt), PathPunctuation)) return false;
  if (queryAt != std::wstring_view::npos && !Part(beforeFragment.substr(queryAt + 1), QueryPunctuation)) return false;
  return fragmentAt == std::wstring_view::npos || Part(rest.substr(fragmentAt + 1), QueryPunctuation);
}

}  // namespace Vel::Update
