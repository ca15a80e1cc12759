// A small tool for the end-to-end tests: finds the running program's window and reports or
// drives it the way a user or another process would. Prints JSON; exit 0 on success.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kClass[] = L"TFrmQuorvane";

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(std::size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string Json(const std::wstring& w) {
  std::string out = "\"";
  for (char c : Utf8(w)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// WM_GETTEXT rather than GetWindowText: across processes the latter returns only the stored
// caption, which controls such as edits never update.
std::wstring Text(HWND h) {
  wchar_t buf[1024] = {};
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &n)) return {};
  return std::wstring(buf, std::size_t(n));
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256];
  const int n = GetClassNameW(h, buf, 256);
  return std::wstring(buf, std::size_t(n > 0 ? n : 0));
}

std::wstring NameOf(HWND h) {
  const ATOM atom = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(h, L"QuorvaneName")));
  if (!atom) return {};
  wchar_t buf[256];
  const UINT n = GlobalGetAtomNameW(atom, buf, 256);
  return std::wstring(buf, n);
}

HWND MainWindow() { return FindWindowW(kClass, nullptr); }

struct Found {
  std::wstring name;
  HWND hwnd = nullptr;
};

BOOL CALLBACK FindChild(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  if (NameOf(h) == f->name) {
    f->hwnd = h;
    return FALSE;
  }
  return TRUE;
}

HWND ChildByName(HWND main, const std::wstring& name) {
  Found f{name};
  EnumChildWindows(main, FindChild, reinterpret_cast<LPARAM>(&f));
  return f.hwnd;
}

std::string RectJson(const RECT& r) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return buf;
}

struct DumpContext {
  HWND main;
  std::string out;
};

BOOL CALLBACK DumpChild(HWND h, LPARAM lp) {
  auto* ctx = reinterpret_cast<DumpContext*>(lp);
  const std::wstring name = NameOf(h);
  if (name.empty()) return TRUE;
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, ctx->main, reinterpret_cast<POINT*>(&r), 2);
  const std::wstring cls = ClassOf(h);
  std::string extra;
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    extra += ",\"checked\":" + std::to_string(SendMessageW(h, BM_GETCHECK, 0, 0));
  } else if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
    extra += ",\"selection\":" + std::to_string(SendMessageW(h, CB_GETCURSEL, 0, 0));
    extra += ",\"count\":" + std::to_string(SendMessageW(h, CB_GETCOUNT, 0, 0));
  } else if (_wcsicmp(cls.c_str(), L"msctls_progress32") == 0) {
    extra += ",\"position\":" + std::to_string(SendMessageW(h, 0x408 /* PBM_GETPOS */, 0, 0));
  }
  // A group box's caption lives on its frame, the child drawn beneath its controls.
  std::wstring text = Text(h);
  HWND shown = h;  // the window that shows the text
  for (HWND frame = GetWindow(h, GW_CHILD); frame && text.empty(); frame = GetWindow(frame, GW_HWNDNEXT))
    if (ClassOf(frame) == L"Button" && (GetWindowLongW(frame, GWL_STYLE) & 0xF) == BS_GROUPBOX) {
      text = Text(frame);
      shown = frame;
    }
  const bool rtl = (GetWindowLongW(shown, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
  ctx->out += ",\n{\"name\":" + Json(name) + ",\"class\":" + Json(cls) + ",\"text\":" + Json(text) +
              ",\"rect\":" + RectJson(r) + ",\"visible\":" + (IsWindowVisible(h) ? "true" : "false") +
              ",\"enabled\":" + (IsWindowEnabled(h) ? "true" : "false") + ",\"rtl\":" + (rtl ? "true" : "false") +
              extra + "}";
  return TRUE;
}

int Dump(HWND main) {
  RECT client, window;
  GetClientRect(main, &client);
  GetWindowRect(main, &window);
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  DumpContext ctx{main, {}};
  POINT origin{0, 0};
  ClientToScreen(main, &origin);
  std::printf("{\"form\":{\"text\":%s,\"client\":%s,\"origin\":[%ld,%ld],\"window\":%s,\"visible\":%s,\"iconic\":%s,"
              "\"maximizebox\":%s,\"minimizebox\":%s,\"sizable\":%s,\"foreground\":%s,\"pid\":%lu},\n\"controls\":[{}",
              Json(Text(main)).c_str(), RectJson(client).c_str(), origin.x, origin.y, RectJson(window).c_str(),
              IsWindowVisible(main) ? "true" : "false", IsIconic(main) ? "true" : "false",
              (style & WS_MAXIMIZEBOX) ? "true" : "false", (style & WS_MINIMIZEBOX) ? "true" : "false",
              (style & WS_THICKFRAME) ? "true" : "false", GetForegroundWindow() == main ? "true" : "false", pid);
  EnumChildWindows(main, DumpChild, reinterpret_cast<LPARAM>(&ctx));
  std::printf("%s]}\n", ctx.out.c_str());
  return 0;
}

struct DialogSearch {
  DWORD pid;
  HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == s->pid && ClassOf(h) == L"#32770" && IsWindowVisible(h)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND ProgramDialog() {
  HWND main = MainWindow();
  if (!main) return nullptr;
  DialogSearch s{0};
  GetWindowThreadProcessId(main, &s.pid);
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

BOOL CALLBACK CollectStatic(HWND h, LPARAM lp) {
  if (_wcsicmp(ClassOf(h).c_str(), L"Static") == 0 && !Text(h).empty()) *reinterpret_cast<std::wstring*>(lp) = Text(h);
  return TRUE;
}

bool WaitFor(DWORD timeoutMs, bool (*condition)()) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

// Whether the shell holds our tray icon: a modification that changes nothing succeeds only
// for an icon the shell knows.
bool TrayIconPresent() {
  HWND main = MainWindow();
  if (!main) return false;
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = main;
  nid.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

// The open pop-up menu of any program, as its item texts ("-" for a separator).
HWND OpenMenu() {
  HWND m = nullptr;
  while ((m = FindWindowExW(nullptr, m, L"#32768", nullptr)))
    if (IsWindowVisible(m)) return m;
  return nullptr;
}

std::string MemoryJson() {
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  GlobalMemoryStatusEx(&m);
  char buf[256];
  std::snprintf(buf, sizeof buf, "{\"totalPhys\":%llu,\"availPhys\":%llu,\"totalPage\":%llu,\"availPage\":%llu}",
                m.ullTotalPhys, m.ullAvailPhys, m.ullTotalPageFile, m.ullAvailPageFile);
  return buf;
}

std::wstring LocaleText(LCTYPE what) {
  wchar_t buf[16] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, what, buf, 16);
  return buf;
}

// The status lines between two readings of the memory figures, with the user's separators.
int Status() {
  HWND main = MainWindow();
  if (!main) return 1;
  // Read right after a tick rewrote the line (or after a second without change), so the
  // readings and the line belong to the same moment.
  HWND line = ChildByName(main, L"LblPhysStatus");
  wchar_t seen[256] = {}, now[256] = {};
  InternalGetWindowText(line, seen, 256);
  const ULONGLONG end = GetTickCount64() + 1200;
  do {
    InternalGetWindowText(line, now, 256);
  } while (std::wcscmp(seen, now) == 0 && GetTickCount64() < end);
  const std::string before = MemoryJson();
  const std::wstring phys = Text(ChildByName(main, L"LblPhysStatus"));
  const std::wstring page = Text(ChildByName(main, L"LblVirtualStatus"));
  const std::wstring work = Text(ChildByName(main, L"LblWorkingStatus"));
  const LRESULT bar = SendMessageW(ChildByName(main, L"ProgressBar"), 0x408 /* PBM_GETPOS */, 0, 0);
  std::printf("{\"before\":%s,\"phys\":%s,\"page\":%s,\"work\":%s,\"bar\":%ld,\"after\":%s,"
              "\"decimal\":%s,\"thousand\":%s}\n",
              before.c_str(), Json(phys).c_str(), Json(page).c_str(), Json(work).c_str(), long(bar),
              MemoryJson().c_str(), Json(LocaleText(LOCALE_SDECIMAL)).c_str(),
              Json(LocaleText(LOCALE_STHOUSAND)).c_str());
  return 0;
}

// Records the distinct captions and enabled states a control goes through after a click. It
// polls without sending messages, so it sees states that last only while the program works.
int Watch(const std::wstring& name, DWORD ms) {
  HWND main = MainWindow();
  HWND h = main ? ChildByName(main, name) : nullptr;
  if (!h) return 1;
  std::string out, last;
  auto record = [&] {
    wchar_t text[256] = {};
    InternalGetWindowText(h, text, 256);
    const std::string state = "{\"text\":" + Json(text) + ",\"enabled\":" + (IsWindowEnabled(h) ? "true" : "false") + "}";
    if (state != last) out += (out.empty() ? "" : ",") + state;
    last = state;
  };
  record();
  PostMessageW(h, BM_CLICK, 0, 0);
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) record();
  std::printf("[%s]\n", out.c_str());
  return 0;
}

// The shell's balloon notifications on screen.
BOOL CALLBACK CountBalloon(HWND h, LPARAM lp) {
  if (IsWindowVisible(h) && _wcsicmp(ClassOf(h).c_str(), L"tooltips_class32") == 0 &&
      (GetWindowLongW(h, GWL_STYLE) & 0x40 /* TTS_BALLOON */))
    ++*reinterpret_cast<int*>(lp);
  return TRUE;
}

// The update prompt: the program's dialog that holds a message named "Message".
HWND PromptWindow() {
  HWND d = ProgramDialog();
  return d && ChildByName(d, L"Message") ? d : nullptr;
}

int DumpPrompt(HWND d) {
  RECT client, window;
  GetClientRect(d, &client);
  GetWindowRect(d, &window);
  int def = 0;
  for (HWND b = GetWindow(d, GW_CHILD); b; b = GetWindow(b, GW_HWNDNEXT))
    if (ClassOf(b) == L"Button" && (GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) def = GetDlgCtrlID(b);
  const LONG ex = GetWindowLongW(d, GWL_EXSTYLE);
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  DumpContext ctx{d, {}};
  EnumChildWindows(d, DumpChild, reinterpret_cast<LPARAM>(&ctx));
  POINT origin{0, 0};
  ClientToScreen(d, &origin);
  std::printf("{\"caption\":%s,\"client\":%s,\"origin\":[%ld,%ld],\"window\":%s,\"default\":%d,\"topmost\":%s,\"owned\":%s,"
              "\"dpi\":%d,\"controls\":[{}%s]}\n",
              Json(Text(d)).c_str(), RectJson(client).c_str(), origin.x, origin.y, RectJson(window).c_str(), def,
              (ex & WS_EX_TOPMOST) ? "true" : "false", GetWindow(d, GW_OWNER) ? "true" : "false", dpi, ctx.out.c_str());
  return 0;
}

// A click as the mouse makes it, in the middle of the window.
void MouseClick(HWND h) {
  RECT r;
  GetClientRect(h, &r);
  const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(h, WM_LBUTTONUP, 0, at);
}

// The text of the program's visible tooltip, once one shows.
BOOL CALLBACK FindTip(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<DialogSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if ((!s->pid || pid == s->pid) && IsWindowVisible(h) && _wcsicmp(ClassOf(h).c_str(), L"tooltips_class32") == 0 &&
      !Text(h).empty()) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

// The text of the program's tooltip (or with no window, any program's), once one shows.
int Tooltip(HWND main, DWORD ms) {
  DialogSearch s{0};
  if (main) GetWindowThreadProcessId(main, &s.pid);
  const ULONGLONG end = GetTickCount64() + ms;
  do {
    s.found = nullptr;
    EnumWindows(FindTip, reinterpret_cast<LPARAM>(&s));
    if (s.found) {
      std::printf("%s\n", Json(Text(s.found)).c_str());
      return 0;
    }
    Sleep(50);
  } while (GetTickCount64() < end);
  return 1;
}

// A copy of the program that hangs: it owns the instance mutex and a window of the main class,
// then sleeps without ever handling a message.
int Hang(DWORD ms) {
  CreateMutexW(nullptr, TRUE, L"TFrmQuorvane");
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TFrmQuorvane";
  if (!RegisterClassW(&wc)) return 1;
  if (!CreateWindowExW(0, L"TFrmQuorvane", L"Quorvane", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                       wc.hInstance, nullptr))
    return 1;
  Sleep(ms);
  return 0;
}

// A message box of any program: a dialog whose text is the one message boxes give id 0xFFFF.
BOOL CALLBACK FindMessageBox(HWND h, LPARAM lp) {
  if (IsWindowVisible(h) && ClassOf(h) == L"#32770" && GetDlgItem(h, 0xFFFF)) {
    *reinterpret_cast<HWND*>(lp) = h;
    return FALSE;
  }
  return TRUE;
}

HWND MessageBoxWindow() {
  HWND found = nullptr;
  EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

// A visible window or control of any program whose text holds a given text.
struct TextSearch {
  const wchar_t* text;
  HWND found;
};

BOOL CALLBACK FindTextChild(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TextSearch*>(lp);
  if (IsWindowVisible(h) && Text(h).find(s->text) != std::wstring::npos) s->found = h;
  return s->found ? FALSE : TRUE;
}

BOOL CALLBACK FindText(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TextSearch*>(lp);
  if (!IsWindowVisible(h)) return TRUE;
  FindTextChild(h, lp);
  if (!s->found) EnumChildWindows(h, FindTextChild, lp);  // every descendant
  return s->found ? FALSE : TRUE;
}

HWND WindowWithText(const wchar_t* text) {
  TextSearch s{text, nullptr};
  EnumWindows(FindText, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Another program that has FILE open for reading and lets nobody write it, for MS.
int Hold(const wchar_t* file, DWORD ms) {
  HANDLE h = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(ms);
  CloseHandle(h);
  return 0;
}

// The owner and DACL of PATH as SDDL.
int Sddl(const wchar_t* path) {
  using GetFn = DWORD(WINAPI*)(LPCWSTR, int, SECURITY_INFORMATION, PSID*, PSID*, PACL*, PACL*,
                               PSECURITY_DESCRIPTOR*);
  using ToTextFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD, SECURITY_INFORMATION, LPWSTR*, PULONG);
  HMODULE advapi = LoadLibraryW(L"advapi32.dll");
  auto get = reinterpret_cast<GetFn>(reinterpret_cast<void*>(GetProcAddress(advapi, "GetNamedSecurityInfoW")));
  auto toText = reinterpret_cast<ToTextFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "ConvertSecurityDescriptorToStringSecurityDescriptorW")));
  if (!get || !toText) return 1;
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (get(path, 1 /* SE_FILE_OBJECT */, what, nullptr, nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS) return 1;
  LPWSTR text = nullptr;
  const BOOL ok = toText(sd, 1 /* SDDL_REVISION_1 */, what, &text, nullptr);
  if (ok) std::printf("%s\n", Utf8(text).c_str());
  LocalFree(text);
  LocalFree(sd);
  return ok ? 0 : 1;
}

int Usage() {
  std::fputs("usage: qprobe dump | wait-window MS | wait-visible MS | wait-hidden MS | wait-gone MS |\n"
             "  send MSG WPARAM | post MSG WPARAM | click NAME | select NAME INDEX | command ID | dialog MS | answer yes|no|ok |\n"
             "  tray | wait-tray MS | tray-click left|right | menu MS | menu-key KEY | tray-delete | taskbar-created |\n"
             "  status | watch NAME MS | balloons | tooltip MS | tooltip-any MS | taskbar |\n"
             "  prompt MS | prompt-click NAME | prompt-key esc|enter | prompt-close | record-open FILE TARGET |\n"
             "  hang MS | hold FILE MS | sddl PATH | wait-message MS | wait-text TEXT MS | short PATH\n",
             stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring cmd = argv[1];
  auto arg = [&](int i) { return i < argc ? std::wcstoul(argv[i], nullptr, 0) : 0ul; };

  if (cmd == L"hang") return Hang(DWORD(arg(2)));
  if (cmd == L"wait-message") {
    if (!WaitFor(DWORD(arg(2)), [] { return MessageBoxWindow() != nullptr; })) return 1;
    std::printf("%s\n", Json(Text(GetDlgItem(MessageBoxWindow(), 0xFFFF))).c_str());
    return 0;
  }
  if (cmd == L"wait-text" && argc > 3) {
    static const wchar_t* wanted = argv[2];
    if (!WaitFor(DWORD(arg(3)), [] { return WindowWithText(wanted) != nullptr; })) return 1;
    HWND h = WindowWithText(wanted);
    std::printf("{\"text\":%s,\"checked\":%s}\n", Json(Text(h)).c_str(),
                SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? "true" : "false");
    return 0;
  }
  if (cmd == L"short" && argc > 2) {
    wchar_t buf[MAX_PATH];
    const DWORD n = GetShortPathNameW(argv[2], buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    std::printf("%s\n", Json(buf).c_str());
    return 0;
  }
  if (cmd == L"hold" && argc > 3) return Hold(argv[2], DWORD(arg(3)));
  if (cmd == L"sddl" && argc > 2) return Sddl(argv[2]);
  if (cmd == L"wait-window") return WaitFor(DWORD(arg(2)), [] { return MainWindow() != nullptr; }) ? 0 : 1;
  if (cmd == L"wait-visible")
    return WaitFor(DWORD(arg(2)), [] { HWND h = MainWindow(); return h && IsWindowVisible(h) != 0; }) ? 0 : 1;
  if (cmd == L"wait-hidden")
    return WaitFor(DWORD(arg(2)), [] { HWND h = MainWindow(); return h && !IsWindowVisible(h); }) ? 0 : 1;
  if (cmd == L"wait-tray") return WaitFor(DWORD(arg(2)), TrayIconPresent) ? 0 : 1;
  if (cmd == L"tray") {
    std::printf("%d\n", TrayIconPresent() ? 1 : 0);
    return 0;
  }
  // The shell's notification for a click on our icon: wParam the icon id, lParam the mouse message.
  if (cmd == L"tray-click" && argc > 2) {
    const UINT mouse = std::wstring(argv[2]) == L"right" ? WM_RBUTTONUP : WM_LBUTTONUP;
    return PostMessageW(MainWindow(), WM_APP + 1, 1, mouse) ? 0 : 1;
  }
  if (cmd == L"menu") return WaitFor(DWORD(arg(2)), [] { return OpenMenu() != nullptr; }) ? 0 : 1;
  if (cmd == L"status") return Status();
  if (cmd == L"watch" && argc > 3) return Watch(argv[2], DWORD(arg(3)));
  if (cmd == L"balloons") {
    int count = 0;
    EnumWindows(CountBalloon, reinterpret_cast<LPARAM>(&count));
    std::printf("%d\n", count);
    return 0;
  }
  // Keys to the open menu: "down", "enter", "escape".
  if (cmd == L"menu-key" && argc > 2) {
    HWND m = OpenMenu();
    const std::wstring k = argv[2];
    const WPARAM vk = k == L"down" ? VK_DOWN : k == L"enter" ? VK_RETURN : VK_ESCAPE;
    return m && PostMessageW(m, WM_KEYDOWN, vk, 0) ? 0 : 1;
  }
  if (cmd == L"tray-delete") {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = MainWindow();
    nid.uID = 1;
    return Shell_NotifyIconW(NIM_DELETE, &nid) ? 0 : 1;
  }
  // As the shell does after a restart.
  if (cmd == L"taskbar-created") return PostMessageW(MainWindow(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0) ? 0 : 1;
  if (cmd == L"wait-gone") return WaitFor(DWORD(arg(2)), [] { return MainWindow() == nullptr; }) ? 0 : 1;

  if (cmd == L"dialog") {
    if (!WaitFor(DWORD(arg(2)), [] { return ProgramDialog() != nullptr; })) return 1;
    HWND d = ProgramDialog();
    std::wstring text;
    EnumChildWindows(d, CollectStatic, reinterpret_cast<LPARAM>(&text));
    // The default button is the one drawn as default; message boxes need not answer DM_GETDEFID.
    int def = 0;
    for (HWND b = GetWindow(d, GW_CHILD); b; b = GetWindow(b, GW_HWNDNEXT))
      if (ClassOf(b) == L"Button" && (GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) def = GetDlgCtrlID(b);
    const LONG ex = GetWindowLongW(d, GWL_EXSTYLE);
    std::printf("{\"caption\":%s,\"text\":%s,\"default\":%d,\"topmost\":%s,\"yes\":%s,\"no\":%s}\n",
                Json(Text(d)).c_str(), Json(text).c_str(), def,
                (ex & WS_EX_TOPMOST) ? "true" : "false", GetDlgItem(d, IDYES) ? "true" : "false",
                GetDlgItem(d, IDNO) ? "true" : "false");
    return 0;
  }
  if (cmd == L"prompt") {
    if (!WaitFor(DWORD(arg(2)), [] { return PromptWindow() != nullptr; })) return 1;
    return DumpPrompt(PromptWindow());
  }
  if (cmd == L"prompt-click" && argc > 2) {
    HWND d = PromptWindow();
    HWND c = d ? ChildByName(d, argv[2]) : nullptr;
    if (!c) return 1;
    if (ClassOf(c) == L"Button") PostMessageW(c, BM_CLICK, 0, 0);
    else MouseClick(c);
    return 0;
  }
  // A key as the user presses it: to the control that has the focus.
  if (cmd == L"prompt-key" && argc > 2) {
    HWND d = PromptWindow();
    if (!d) return 1;
    GUITHREADINFO gui{sizeof gui};
    GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &gui);
    const WPARAM vk = std::wstring(argv[2]) == L"enter" ? VK_RETURN : VK_ESCAPE;
    return PostMessageW(gui.hwndFocus ? gui.hwndFocus : d, WM_KEYDOWN, vk, 0) ? 0 : 1;
  }
  // The window's close box.
  if (cmd == L"prompt-close") {
    HWND d = PromptWindow();
    return d && PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  }
  // Stands in for the browser: the shell's "open" of a web address lands here.
  if (cmd == L"record-open" && argc > 3) {
    FILE* f = _wfopen(argv[2], L"ab");
    if (!f) return 1;
    std::fprintf(f, "%s\n", Utf8(argv[3]).c_str());
    std::fclose(f);
    return 0;
  }
  // The shell's tooltips (the tray icon's hint among them), and where the taskbar is.
  if (cmd == L"tooltip-any") return Tooltip(nullptr, DWORD(arg(2)));
  if (cmd == L"taskbar") {
    RECT r{};
    HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!bar || !GetWindowRect(bar, &r)) return 1;
    std::printf("%s\n", RectJson(r).c_str());
    return 0;
  }
  if (cmd == L"answer" && argc > 2) {
    HWND d = ProgramDialog();
    if (!d) return 1;
    const std::wstring answer = argv[2];
    const int id = answer == L"yes" ? IDYES : answer == L"ok" ? IDOK : IDNO;
    PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
    return 0;
  }

  HWND main = MainWindow();
  if (!main) {
    std::fputs("no window of class TFrmQuorvane\n", stderr);
    return 1;
  }
  // The settings page gets its windows just after the window's first paint, named once whole:
  // a probe that comes sooner waits for it, as any look at that page would.
  if (cmd == L"dump" || cmd == L"click" || cmd == L"select")
    WaitFor(5000, [] { HWND m = MainWindow(); return m && ChildByName(m, L"Card2") != nullptr; });
  if (cmd == L"dump") return Dump(main);
  if (cmd == L"send" && argc > 3) {
    // WM_HELP carries a pointer that the system copies across processes; it must be real.
    HELPINFO help{sizeof(HELPINFO), HELPINFO_WINDOW, 0, main, 0, {0, 0}};
    const UINT msg = UINT(arg(2));
    const LRESULT r = SendMessageW(main, msg, WPARAM(arg(3)), msg == WM_HELP ? reinterpret_cast<LPARAM>(&help) : 0);
    std::printf("%ld\n", long(r));
    return 0;
  }
  if (cmd == L"post" && argc > 3) return PostMessageW(main, UINT(arg(2)), WPARAM(arg(3)), 0) ? 0 : 1;
  if (cmd == L"command" && argc > 2) return PostMessageW(main, WM_COMMAND, WPARAM(arg(2)), 0) ? 0 : 1;
  // Picks a list entry as a user does: the selection, then the list's notification to its parent.
  if (cmd == L"select" && argc > 3) {
    HWND c = ChildByName(main, argv[2]);
    if (!c) return 1;
    SendMessageW(c, CB_SETCURSEL, WPARAM(arg(3)), 0);
    SendMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), CBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
    return 0;
  }
  if (cmd == L"click" && argc > 2) {
    HWND c = ChildByName(main, argv[2]);
    if (!c) return 1;
    if (ClassOf(c) == L"Button") SendMessageW(c, BM_CLICK, 0, 0);
    else MouseClick(c);
    return 0;
  }
  if (cmd == L"tooltip") return Tooltip(main, DWORD(arg(2)));
  return Usage();
}
