// The least a memory tray tool can do: a window, a label refreshed once a second from
// GlobalMemoryStatusEx, and a tray icon. Its idle cost is the floor Quorvane is measured against,
// so it must stay this small: add nothing that the product's own tick does not need.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

const wchar_t kClass[] = L"QBaselineWnd";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTrayId = 1;
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr int kClientWidth = 500;
constexpr int kClientHeight = 450;

HWND g_label = nullptr;
UINT g_taskbarCreated = 0;

void ShowPhysicalMemory() {
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  if (!GlobalMemoryStatusEx(&ms)) return;
  const double mib = 1048576.0;
  // A fixed buffer: the tick allocates nothing.
  wchar_t text[128];
  std::swprintf(text, 128, L"Physical memory: %lu %%  (%.0f / %.0f MB)", ms.dwMemoryLoad,
                double(ms.ullTotalPhys - ms.ullAvailPhys) / mib, double(ms.ullTotalPhys) / mib);
  SetWindowTextW(g_label, text);
}

void TrayIcon(HWND hwnd, DWORD message) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = hwnd;
  nid.uID = kTrayId;
  nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  nid.uCallbackMessage = kTrayMessage;
  nid.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  std::wcscpy(nid.szTip, L"Baseline");
  Shell_NotifyIconW(message, &nid);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      g_label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 16, 16, kClientWidth - 32, 20, hwnd,
                                nullptr, reinterpret_cast<CREATESTRUCTW*>(lp)->hInstance, nullptr);
      SendMessageW(g_label, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
      ShowPhysicalMemory();
      SetTimer(hwnd, kTimerId, 1000, nullptr);
      return 0;
    case WM_CTLCOLORSTATIC:
      // The label sits on white, like the window.
      SetBkColor(HDC(wp), RGB(255, 255, 255));
      return LRESULT(GetStockObject(WHITE_BRUSH));
    case WM_TIMER:
      if (wp == kTimerId) ShowPhysicalMemory();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kTimerId);
      TrayIcon(hwnd, NIM_DELETE);
      PostQuitMessage(0);
      return 0;
    default:
      // A shell that starts after us, or restarts, has lost the icon.
      if (msg == g_taskbarCreated && g_taskbarCreated) {
        TrayIcon(hwnd, NIM_ADD);
        return 0;
      }
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClass;
  if (!RegisterClassExW(&wc)) return 1;

  const DWORD style = WS_OVERLAPPEDWINDOW;
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  HWND hwnd = CreateWindowExW(0, kClass, L"Baseline", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  // After the window: the icon is a call into the shell that start-up need not wait for.
  TrayIcon(hwnd, NIM_ADD);

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return int(m.wParam);
}
