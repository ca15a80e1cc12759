#include "ui/win32/object_count.h"

namespace ui::win32 {

namespace detail {
Counter counters[kObjectKinds];
}  // namespace detail

namespace {

// Where a counted window keeps the procedure it had before we started counting it.
constexpr wchar_t kCountProcProp[] = L"QuorvaneCountProc";

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kCountProcProp));
  if (msg == WM_NCDESTROY && RemovePropW(hwnd, kCountProcProp)) Track(ObjectKind::Window, -1);
  return old ? CallWindowProcW(old, hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

ObjectCounts LiveObjects() {
  ObjectCounts c;
  for (int i = 0; i < kObjectKinds; ++i) c.n[i] = detail::counters[i].live.load(std::memory_order_relaxed);
  return c;
}

ObjectCounts PeakObjects() {
  ObjectCounts c;
  for (int i = 0; i < kObjectKinds; ++i) c.n[i] = detail::counters[i].peak.load(std::memory_order_relaxed);
  return c;
}

void ResetPeakObjects() {
  for (auto& c : detail::counters) c.peak.store(c.live.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

const char* ObjectKindName(ObjectKind kind) {
  static const char* const names[kObjectKinds] = {"gdi", "icon", "window", "menu", "dc", "atom"};
  return names[int(kind)];
}

namespace counted {

void AdoptWindow(HWND hwnd) {
  if (!hwnd || GetPropW(hwnd, kCountProcProp)) return;
  const LONG_PTR old = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
  // Without a place for the old procedure the window keeps it, and is not counted.
  if (!old || !SetPropW(hwnd, kCountProcProp, reinterpret_cast<HANDLE>(old))) return;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc));
  Track(ObjectKind::Window, +1);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int w, int h,
                     HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
  HWND hwnd = ::CreateWindowExW(exStyle, cls, text, style, x, y, w, h, parent, menu, inst, param);
  AdoptWindow(hwnd);
  return hwnd;
}

}  // namespace counted
}  // namespace ui::win32
