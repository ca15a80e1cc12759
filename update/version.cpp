#include "update/version.h"

#include <cwctype>

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

bool IsWebAddress(const std::wstring& target) {
  std::wstring lower;
  for (wchar_t c : target.substr(0, 8)) lower += wchar_t(std::towlower(c));
  return lower.starts_with(L"http://") || lower.starts_with(L"https://");
}

}  // namespace Vel::Update
