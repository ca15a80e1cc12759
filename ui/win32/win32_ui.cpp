// The application's side of the toolkit: the hidden window that wakes the main thread for
// queued work, the form's creation, the message loop and the message dialog.
#include "ui/win32/win32_ui.h"

#include "ui/win32/form_window.h"

namespace ui::win32 {

const SystemLoader& ThisSystemLoader() {
  static const SystemLoader loader = [] {
    SystemLoader l;
    l.searchFlagKnown = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) l.systemFolder.assign(folder, n);
    return l;
  }();
  return loader;
}

HMODULE LoadSystemLibrary(const wchar_t* name, const SystemLoader& loader) {
  if (loader.searchFlagKnown) return loader.loadEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A bare name would be searched for beside the exe and in the current folder first.
  if (loader.systemFolder.empty()) return nullptr;
  const std::wstring path = loader.systemFolder + L"\\" + name;
  // The DLL's own imports are then looked for in System32 too, not beside the exe.
  return loader.loadEx(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace {
constexpr wchar_t kHiddenClass[] = L"QuorvaneApplication";
constexpr UINT kWakeMessage = WM_APP + 2;
}  // namespace

Win32Application::Win32Application(HINSTANCE instance) : instance_(instance), app_(*this) {
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = HiddenProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kHiddenClass;
  RegisterClassExW(&wc);
  hidden_ = counted::CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     instance_, nullptr);
  SetWindowLongPtrW(hidden_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  HWND target = hidden_;
  app_.Queue()->SetWake([target] { PostMessageW(target, kWakeMessage, 0, 0); });
}

Win32Application::~Win32Application() {
  app_.Queue()->Shutdown();
  form_.reset();
  if (hidden_) DestroyWindow(hidden_);
}

LRESULT CALLBACK Win32Application::HiddenProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kWakeMessage) {
    if (auto* self = reinterpret_cast<Win32Application*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
      self->app_.Queue()->Drain();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Application::ReleaseForm() { form_.reset(); }

SystemPopups& SystemPopupsSeam() {
  static SystemPopups popups;
  return popups;
}

int Win32Application::MessageDialog(const std::wstring& text, const std::wstring& caption, unsigned flags) {
  // Right-aligned too, as a right-to-left reader expects a message box's text.
  if (app_.RightToLeftReading) flags |= MB_RTLREADING | MB_RIGHT;
  return SystemPopupsSeam().ShowMessageBox(hidden_, text.c_str(), caption.c_str(), flags);
}

void Win32Application::Restore() {
  if (Form* f = app_.MainForm()) {
    HWND h = reinterpret_cast<HWND>(f->Handle());
    if (h && IsIconic(h)) ShowWindow(h, SW_RESTORE);
  }
}

void Win32Application::CreateForm(Form& form) {
  form.SetVisible(false);
  form_ = std::make_unique<FormWindow>(*this, form);
  form_->Realise();
  if (!app_.MainForm()) app_.SetMainForm(&form);
  form.OnClosed = [this] {
    app_.Terminate();
    PostQuitMessage(0);
  };
  form.DoCreate();
}

int Win32Application::Run() {
  Form* main = app_.MainForm();
  if (main && app_.ShowMainForm && !main->Closed()) main->SetVisible(true);
  MSG msg;
  int code = 0;
  while (!app_.Terminated()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      code = int(msg.wParam);
      break;
    }
    if (got < 0) break;
    HWND formHwnd = form_ ? form_->Hwnd() : nullptr;
    if (formHwnd && IsDialogMessageW(formHwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  app_.Queue()->Shutdown();
  form_.reset();
  return code;
}

}  // namespace ui::win32
