#include "app/fullscreen.h"

#include <cwchar>

namespace app {

bool IsForegroundFullScreen(WindowQueries& api) {
  const WindowQueries::Handle window = api.Foreground();
  if (!window || window == api.Desktop()) return false;
  wchar_t name[256] = {};
  api.ClassName(window, name);
  name[255] = 0;
  // The shell's desktop windows cover the monitor but are no full-screen program.
  if (std::wcscmp(name, L"Progman") == 0 || std::wcscmp(name, L"WorkerW") == 0) return false;
  // An ordinary maximised window reaches past its monitor by its invisible frame wherever no
  // taskbar keeps it off the edge (auto-hide, a second monitor): a browser, not a game.
  if (api.MaximisedWithCaption(window)) return false;
  ScreenRect monitor, rect;
  if (!api.MonitorRect(window, monitor) || !api.WindowRect(window, rect)) return false;
  return rect.Left <= monitor.Left && rect.Top <= monitor.Top && rect.Right >= monitor.Right &&
         rect.Bottom >= monitor.Bottom;
}

}  // namespace app
