#include <windows.h>

#include "translate/translate.h"

namespace Vel::Translate {
namespace {

class Win32TranslatePlatform final : public TranslatePlatform {
 public:
  std::optional<std::string> ReadTableResource() override {
    // Resource names compare without case, so this finds the "TRANSLATE" the script stores.
    HMODULE exe = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(exe, L"translate", MAKEINTRESOURCEW(10));
    if (!info) return std::nullopt;
    const DWORD size = SizeofResource(exe, info);
    HGLOBAL loaded = LoadResource(exe, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    return std::string(static_cast<const char*>(data), size);
  }

  std::wstring UserLocaleLanguage() override {
    // The regional-format locale, not the display language.
    const LCID locale = GetUserDefaultLCID();
    const int needed = GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, nullptr, 0);
    if (needed < 1) return {};
    std::wstring name(std::size_t(needed), L'\0');
    if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, name.data(), needed) < 1) return {};
    if (const std::size_t end = name.find(L'\0'); end != std::wstring::npos) name.resize(end);
    return name;
  }
};

}  // namespace

TranslatePlatform& SystemTranslatePlatform() {
  static Win32TranslatePlatform platform;
  return platform;
}

std::wstring GetUserLanguage() { return GetUserLanguage(SystemTranslatePlatform()); }

void Startup() { Startup(SystemTranslatePlatform()); }

}  // namespace Vel::Translate
