#include <windows.h>

#include <vector>

#include "ui/win32/win32_ui.h"
#include "update/version.h"

namespace Vel::Update {
namespace {

using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

}  // namespace

std::optional<VersionNumbers> ReadOwnVersion() {
  HMODULE version = ui::win32::LoadSystemLibrary(L"version.dll");
  if (!version) return std::nullopt;
  auto size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoSizeW")));
  auto info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(version, "GetFileVersionInfoW")));
  auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(version, "VerQueryValueW")));
  std::optional<VersionNumbers> result;
  wchar_t path[MAX_PATH * 2];
  const DWORD len = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  if (size && info && query && len > 0 && len < std::size(path)) {
    DWORD handle = 0;
    const DWORD bytes = size(path, &handle);
    if (bytes > 0) {
      std::vector<BYTE> buffer(bytes);
      VS_FIXEDFILEINFO* fixed = nullptr;
      UINT fixedLen = 0;
      if (info(path, 0, bytes, buffer.data()) &&
          query(buffer.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLen) && fixed &&
          fixedLen >= sizeof(VS_FIXEDFILEINFO)) {
        result = VersionNumbers{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
      }
    }
  }
  FreeLibrary(version);
  return result;
}

std::wstring GetVersionText(const std::wstring& Format) { return FormatVersion(Format, ReadOwnVersion()); }

}  // namespace Vel::Update
