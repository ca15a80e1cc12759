// Web addresses reach the user's browser through the desktop shell's own process. We run
// elevated: a browser that ShellExecuteW starts from here, when none is running yet, would run
// with administrator rights, and so would every page it then opens.
#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shellapi.h>

#include <memory>

#include "platform/com_ptr.h"
#include "platform/threads.h"
#include "update/shell_open_win32.h"
#include "update/version.h"

// shellapi.h's name for ShellExecuteW would rename the shell object's method of that name.
#undef ShellExecute

namespace Vel::Update {
namespace {

using platform::Bstr;
using platform::ComPtr;
using platform::Variant;

// Defined here: the SDK's copies live in a library object that holds every known GUID.
constexpr CLSID kShellWindows = {0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowser = {0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// Waits no longer for the shell than this: a hung Explorer must not hang the program.
constexpr DWORD kShellWaitMs = 10000;

}  // namespace

DesktopOpen OpenThroughDesktop(const std::wstring& Address) {
  // The desktop registers itself with the shell's window list; a Windows without Explorer (a
  // server core, another shell) has no such list, or no desktop in it.
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows), windows.PutVoid())) ||
      !windows)
    return DesktopOpen::NoDesktop;
  VARIANT location, root;
  VariantInit(&location);
  VariantInit(&root);
  long desktop = 0;
  ComPtr<IDispatch> found;
  if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &desktop, SWFO_NEEDDISPATCH, found.Put()) != S_OK ||
      !found)
    return DesktopOpen::NoDesktop;
  // From the desktop's window to its view, and from the view to the shell's own automation
  // object, which lives in Explorer's process: what it starts runs with Explorer's rights.
  ComPtr<IServiceProvider> provider;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background, application;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(found.As(__uuidof(IServiceProvider), provider)) ||
      FAILED(provider->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser), browser.PutVoid())) || !browser ||
      FAILED(browser->QueryActiveShellView(view.Put())) || !view ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.PutVoid())) || !background ||
      FAILED(background.As(__uuidof(IShellFolderViewDual), folderView)) ||
      FAILED(folderView->get_Application(application.Put())) || !application ||
      FAILED(application.As(__uuidof(IShellDispatch2), shell)))
    return DesktopOpen::Failed;
  Bstr file(Address);
  const Variant none, verb = Variant::Text(L"open"), show = Variant::Int(SW_SHOWNORMAL);
  if (!file.Get()) return DesktopOpen::Failed;
  return SUCCEEDED(shell->ShellExecute(file.Get(), none.Get(), none.Get(), verb.Get(), show.Get()))
             ? DesktopOpen::Opened
             : DesktopOpen::Failed;
}

ShellRoutes& ShellRoutesSeam() {
  static ShellRoutes routes;
  return routes;
}

namespace {

DesktopOpen AskDesktop(const std::wstring& Target) {
  // On a thread of its own, in a single-threaded apartment as the shell's objects want, so that
  // the caller's COM state is never touched and a shell that does not answer is not waited for.
  struct Call {
    std::wstring address;
    DesktopOpen result = DesktopOpen::Failed;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Call() {
      if (done) CloseHandle(done);
    }
  };
  auto call = std::make_shared<Call>();
  call->address = Target;
  if (!call->done) return DesktopOpen::Failed;
  platform::Thread worker;
  if (!worker.Start([call] {
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
          call->result = OpenThroughDesktop(call->address);
          CoUninitialize();
        }
        SetEvent(call->done);
      }))
    return DesktopOpen::Failed;
  if (WaitForSingleObject(call->done, kShellWaitMs) != WAIT_OBJECT_0) {
    worker.Detach();  // it keeps its own share of the call
    return DesktopOpen::Failed;
  }
  worker.Join();
  return call->result;
}

bool OpenDirectly(const std::wstring& Target) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Target.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace

bool ShellOpen(const std::wstring& Target) {
  if (!IsWebAddress(Target)) return false;
  const ShellRoutes& routes = ShellRoutesSeam();
  switch ((routes.Desktop ? routes.Desktop : AskDesktop)(Target)) {
    case DesktopOpen::Opened:
      return true;
    case DesktopOpen::NoDesktop:
      // Only where there is no desktop shell to ask: nothing else can open the address then.
      return (routes.Direct ? routes.Direct : OpenDirectly)(Target);
    case DesktopOpen::Failed:
      break;
  }
  return false;  // never from here, elevated, while a desktop shell is there that failed
}

}  // namespace Vel::Update
