// The form's child window that carries a control's name, as tools and tests find it.
#pragma once

#include <windows.h>

#include "ui/win32/win32_ui.h"

namespace named {

struct Search {
  const wchar_t* name;
  HWND found = nullptr;
};

inline BOOL CALLBACK Match(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  wchar_t name[64] = {};
  if (ATOM a = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(h, ui::win32::kNameProp)))) GlobalGetAtomNameW(a, name, 64);
  if (lstrcmpW(name, s->name) != 0) return TRUE;
  s->found = h;
  return FALSE;
}

// Null until the control's window exists and is named.
inline HWND Child(HWND form, const wchar_t* name) {
  Search s{name};
  EnumChildWindows(form, Match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace named
