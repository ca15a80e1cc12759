// System DLLs come from System32 only: by the loader's search flag where the loader knows it,
// else (Windows 7 without KB2533623) by the full path.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/win32/win32_ui.h"

namespace {

struct Load {
  std::wstring name;
  DWORD flags;
};
std::vector<Load> gLoads;
HMODULE WINAPI RecordLoad(LPCWSTR name, HANDLE, DWORD flags) {
  gLoads.push_back({name, flags});
  return reinterpret_cast<HMODULE>(0x1000);
}

TEST(SystemLoader, TheSearchFlagWhereKnownElseTheFullPath) {
  struct Case {
    bool searchFlagKnown;
    const wchar_t* folder;
    const wchar_t* loaded;  // null: nothing is loaded
    DWORD flags;
  } cases[] = {
      {true, L"C:\\Windows\\system32", L"winhttp.dll", LOAD_LIBRARY_SEARCH_SYSTEM32},
      {false, L"C:\\Windows\\system32", L"C:\\Windows\\system32\\winhttp.dll", LOAD_WITH_ALTERED_SEARCH_PATH},
      // No folder known: never the bare name, which would be searched for beside the exe.
      {false, L"", nullptr, 0},
  };
  for (const Case& c : cases) {
    gLoads.clear();
    ui::win32::SystemLoader loader{c.searchFlagKnown, c.folder, RecordLoad};
    const HMODULE got = ui::win32::LoadSystemLibrary(L"winhttp.dll", loader);
    if (!c.loaded) {
      EXPECT_EQ(got, nullptr);
      EXPECT_TRUE(gLoads.empty());
      continue;
    }
    ASSERT_EQ(gLoads.size(), 1u);
    EXPECT_EQ(gLoads[0].name, c.loaded);
    EXPECT_EQ(gLoads[0].flags, c.flags);
  }
}

TEST(SystemLoader, ThisSystemAndTheFullPathRouteLoadFromSystem32) {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  ASSERT_GT(n, 0u);
  const ui::win32::SystemLoader& here = ui::win32::ThisSystemLoader();
  EXPECT_TRUE(here.searchFlagKnown);  // Wine's loader, like Windows 8 and later
  EXPECT_EQ(here.systemFolder, std::wstring(folder, n));

  // The route of an old Windows 7, for real: the DLL that comes is System32's.
  ui::win32::SystemLoader old = here;
  old.searchFlagKnown = false;
  HMODULE dll = ui::win32::LoadSystemLibrary(L"version.dll", old);
  ASSERT_NE(dll, nullptr);
  wchar_t path[MAX_PATH];
  const DWORD len = GetModuleFileNameW(dll, path, MAX_PATH);
  EXPECT_EQ(CompareStringOrdinal(path, int(n), folder, int(n), TRUE), CSTR_EQUAL) << path;
  EXPECT_EQ(path[n], L'\\');
  EXPECT_GT(len, n);
  FreeLibrary(dll);
}

}  // namespace
