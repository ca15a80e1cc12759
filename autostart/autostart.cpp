#include "autostart/autostart.h"

#include "ui/decimal_text.h"

namespace Vel::AutoStart::UAC {

std::wstring SecondsToDuration(int Seconds) {
  // A negative count would otherwise leave a bare "PT", which is no duration at all.
  if (Seconds <= 0) return L"PT0S";
  const int minutes = Seconds / 60;
  const int rest = Seconds % 60;
  std::wstring text = L"PT";
  if (minutes > 0) {
    ui::AppendDecimal(text, minutes);
    text += L'M';
  }
  if (rest > 0) {
    ui::AppendDecimal(text, rest);
    text += L'S';
  }
  return text;
}

std::wstring ProgramFolder(const std::wstring& ProgramPath) {
  const std::size_t slash = ProgramPath.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : ProgramPath.substr(0, slash + 1);
}

}  // namespace Vel::AutoStart::UAC
