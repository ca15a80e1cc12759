// Whether the foreground window covers its whole monitor (a game, a video): automatic cleans
// wait while it does.
#pragma once

#include <cstdint>
#include <string>

namespace app {

struct ScreenRect {
  long Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// The window queries the test needs; tests script them.
class WindowQueries {
 public:
  virtual ~WindowQueries() = default;
  using Handle = std::uintptr_t;
  virtual Handle Foreground() = 0;
  virtual Handle Desktop() = 0;
  // Writes the class name (at most 255 characters) into `name`, which must hold 256.
  virtual void ClassName(Handle window, wchar_t* name) = 0;
  // The full rectangle of the window's monitor (primary when it has none); false on failure.
  virtual bool MonitorRect(Handle window, ScreenRect& rect) = 0;
  virtual bool WindowRect(Handle window, ScreenRect& rect) = 0;
  // Maximised (IsZoomed) with a title bar (WS_CAPTION whole).
  virtual bool MaximisedWithCaption(Handle window) = 0;
};

bool IsForegroundFullScreen(WindowQueries& api);

// The process's real implementation (Windows builds only).
WindowQueries& SystemWindowQueries();

}  // namespace app
