// Counts of the system objects this program makes and releases: GDI objects, icons, windows,
// menus, borrowed screen DCs and global atoms. Wine answers GetGuiResources with zero, so the
// program keeps its own books; a leak shows as a count that only grows.
//
// Every place that makes or releases one of these goes through `counted::`, never the bare
// call. Shared objects (stock objects, LR_SHARED images, system icons) are not counted.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

namespace ui::win32 {

enum class ObjectKind { Gdi, Icon, Window, Menu, Dc, Atom };
inline constexpr int kObjectKinds = 6;

struct ObjectCounts {
  int n[kObjectKinds] = {};
  int operator[](ObjectKind k) const { return n[int(k)]; }
  bool operator==(const ObjectCounts&) const = default;
};

namespace detail {
struct Counter {
  std::atomic<int> live{0};
  std::atomic<int> peak{0};
};
extern Counter counters[kObjectKinds];
}  // namespace detail

// One object of `kind` made (+1) or released (-1). Relaxed: the books are read, not synchronised on.
inline void Track(ObjectKind kind, int delta) {
  detail::Counter& c = detail::counters[int(kind)];
  const int now = c.live.fetch_add(delta, std::memory_order_relaxed) + delta;
  int peak = c.peak.load(std::memory_order_relaxed);
  while (now > peak && !c.peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

// Objects made and not yet released, by kind.
ObjectCounts LiveObjects();
// The most that were alive at once since the last reset.
ObjectCounts PeakObjects();
void ResetPeakObjects();
// "gdi", "icon", ..., for logs and test output.
const char* ObjectKindName(ObjectKind kind);

namespace counted {

// Counts `h` as made when it is not null.
template <class H>
H Made(ObjectKind kind, H h) {
  if (h) Track(kind, +1);
  return h;
}

#define QUORVANE_COUNTED_MAKER(kind, fn)              \
  template <class... A>                              \
  auto fn(A&&... a) {                                \
    return Made(kind, ::fn(std::forward<A>(a)...)); \
  }
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateFontW)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateFontIndirectW)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateSolidBrush)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreatePen)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateBitmap)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateCompatibleBitmap)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateDIBSection)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateCompatibleDC)
QUORVANE_COUNTED_MAKER(ObjectKind::Gdi, CreateRectRgn)
QUORVANE_COUNTED_MAKER(ObjectKind::Icon, CreateIconIndirect)
QUORVANE_COUNTED_MAKER(ObjectKind::Icon, CopyIcon)
QUORVANE_COUNTED_MAKER(ObjectKind::Menu, CreatePopupMenu)
QUORVANE_COUNTED_MAKER(ObjectKind::Menu, CreateMenu)
QUORVANE_COUNTED_MAKER(ObjectKind::Atom, GlobalAddAtomW)
#undef QUORVANE_COUNTED_MAKER

// Only what the caller owns is counted: an LR_SHARED image belongs to the system.
inline HANDLE LoadImageW(HINSTANCE inst, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  HANDLE h = ::LoadImageW(inst, name, type, cx, cy, flags);
  if (h && !(flags & LR_SHARED)) Track(type == IMAGE_BITMAP ? ObjectKind::Gdi : ObjectKind::Icon, +1);
  return h;
}

// Released only when the system says so: a failed release leaves the object alive, and counted.
inline BOOL DeleteObject(HGDIOBJ o) {
  const BOOL ok = o && ::DeleteObject(o);
  if (ok) Track(ObjectKind::Gdi, -1);
  return ok;
}
inline BOOL DeleteDC(HDC dc) {
  const BOOL ok = dc && ::DeleteDC(dc);
  if (ok) Track(ObjectKind::Gdi, -1);
  return ok;
}
inline BOOL DestroyIcon(HICON icon) {
  const BOOL ok = icon && ::DestroyIcon(icon);
  if (ok) Track(ObjectKind::Icon, -1);
  return ok;
}
inline BOOL DestroyMenu(HMENU menu) {
  const BOOL ok = menu && ::DestroyMenu(menu);
  if (ok) Track(ObjectKind::Menu, -1);
  return ok;
}
inline HDC GetDC(HWND hwnd) { return Made(ObjectKind::Dc, ::GetDC(hwnd)); }
inline int ReleaseDC(HWND hwnd, HDC dc) {
  const int ok = dc ? ::ReleaseDC(hwnd, dc) : 0;
  if (ok) Track(ObjectKind::Dc, -1);
  return ok;
}
// GlobalDeleteAtom answers 0 on success.
inline ATOM GlobalDeleteAtom(ATOM atom) {
  const ATOM left = atom ? ::GlobalDeleteAtom(atom) : atom;
  if (atom && !left) Track(ObjectKind::Atom, -1);
  return left;
}

// A window made by us, counted until its WM_NCDESTROY, however it goes: destroyed itself or
// with its parent or owner.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int w, int h,
                     HWND parent, HMENU menu, HINSTANCE inst, LPVOID param);
// Counts a window the system made for us (a dialog box), from now until its WM_NCDESTROY.
void AdoptWindow(HWND hwnd);

}  // namespace counted
}  // namespace ui::win32
