// The form's tray icon: its image and hint in the notification area, its balloon, its pop-up
// menu, and its return after the shell restarts.
#include "ui/win32/form_window.h"

#include <shellapi.h>

#include "ui/win32/chip_icon.h"

namespace ui::win32 {

namespace {
constexpr UINT kTrayIconId = 1;
}  // namespace

TrayShell& TrayShellSeam() {
  static TrayShell shell;
  return shell;
}

void Win32Application::FormWindow::MakeTrayImages() {
  for (HICON& i : trayImages_)
    if (i) counted::DestroyIcon(i), i = nullptr;
  // The taskbar draws at the system DPI, whichever monitor the window is on.
  const int size = GetSystemMetrics(SM_CXSMICON);
  trayImages_[0] = MakeChipIcon(size, RGB(0x43, 0xA0, 0x47), RGB(0xFF, 0x98, 0x00));
  trayImages_[1] = MakeChipIcon(size, RGB(0x84, 0x84, 0x84), RGB(0xB9, 0xB9, 0xB9));
}

void Win32Application::FormWindow::ShowBalloon(TrayIcon& icon, const std::wstring& title, const std::wstring& text) {
  if (!icon.Visible()) return;
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = hwnd_;
  nid.uID = kTrayIconId;
  nid.uFlags = NIF_INFO;
  nid.dwInfoFlags = NIIF_INFO;
  lstrcpynW(nid.szInfoTitle, title.c_str(), int(std::size(nid.szInfoTitle)));
  lstrcpynW(nid.szInfo, text.c_str(), int(std::size(nid.szInfo)));
  TrayShellSeam().Notify(NIM_MODIFY, &nid);
}

void Win32Application::FormWindow::TrayUpdate(TrayIcon& icon, DWORD message) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = hwnd_;
  nid.uID = kTrayIconId;
  if (message != NIM_DELETE) {
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayMessage;
    if (!trayImages_[0]) MakeTrayImages();
    const int index = icon.ImageIndex();
    nid.hIcon = index >= 0 && index < 2 ? trayImages_[index] : nullptr;
    lstrcpynW(nid.szTip, icon.Hint().c_str(), int(std::size(nid.szTip)));
  }
  auto notify = TrayShellSeam().Notify;
  if (message == NIM_DELETE) {
    notify(NIM_DELETE, &nid);
    return;
  }
  // An add that timed out may still have arrived, and a second add of the same icon fails:
  // modify first, add only when there is nothing to modify.
  if ((message == NIM_MODIFY && notify(NIM_MODIFY, &nid)) || notify(NIM_ADD, &nid)) {
    trayRetry_ = 0;  // a later refusal starts the round of retries afresh
    return;
  }
  // At logon the notification area is often not ready or too busy to answer.
  ScheduleTrayRetry();
}

void Win32Application::FormWindow::ScheduleTrayRetry() {
  if (trayRetryPending_) return;
  const std::uint32_t pause = TrayRetryPause(trayRetry_, TrayShellSeam().PauseUnitMs);
  if (pause == 0) return;  // five minutes without a shell: give up until TaskbarCreated
  trayRetryPending_ = SetTimer(hwnd_, kTrayRetryTimer, pause, nullptr) != 0;
}

void Win32Application::FormWindow::RetryTray() {
  KillTimer(hwnd_, kTrayRetryTimer);
  trayRetryPending_ = false;
  ++trayRetry_;
  for (TrayIcon* t : trays_)
    if (t->Visible() && !t->Destroying()) TrayUpdate(*t, NIM_MODIFY);
}

void Win32Application::FormWindow::Changed(TrayIcon& icon) {
  if (icon.Visible() && !icon.Destroying()) {
    TrayUpdate(icon, NIM_MODIFY);  // adds it when it is not there yet
  } else {
    TrayUpdate(icon, NIM_DELETE);
  }
}

void Win32Application::FormWindow::ShowTrayMenu(TrayIcon& icon) {
  if (!icon.Popup) return;
  const bool rtl = owner_.app_.RightToLeftReading;
  HMENU menu = counted::CreatePopupMenu();
  UINT position = 0;
  for (MenuItem* item : icon.Popup->Items()) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_ID | (item->IsSeparator() ? 0u : UINT(MIIM_STRING));
    mii.fType = item->IsSeparator() ? MFT_SEPARATOR : MFT_STRING | (rtl ? MFT_RIGHTORDER : 0u);
    mii.wID = UINT(item->Command());
    mii.dwTypeData = const_cast<wchar_t*>(item->Caption.c_str());
    InsertMenuItemW(menu, position++, TRUE, &mii);
  }
  POINT pt;
  GetCursorPos(&pt);
  // The menu closes on a click elsewhere only while our window is in front.
  SetForegroundWindow(hwnd_);
  SystemPopupsSeam().TrackMenu(menu, TPM_RIGHTBUTTON | (rtl ? TPM_LAYOUTRTL : 0u), pt.x, pt.y, 0, hwnd_, nullptr);
  PostMessageW(hwnd_, WM_NULL, 0, 0);
  counted::DestroyMenu(menu);
}

bool Win32Application::FormWindow::HandleTray(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == taskbarCreated_ && msg != 0) {
    // The shell restarted: our icons went with the old taskbar. A new shell gets the whole
    // round of retries again.
    KillTimer(hwnd_, kTrayRetryTimer);
    trayRetryPending_ = false;
    trayRetry_ = 0;
    for (TrayIcon* t : trays_)
      if (t->Visible()) TrayUpdate(*t, NIM_ADD);
    return true;
  }
  switch (msg) {
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == 0) {
        for (TrayIcon* t : trays_)
          if (t->Popup)
            if (MenuItem* item = t->Popup->FindCommand(LOWORD(wParam))) {
              item->Click();
              return true;
            }
      }
      return false;
    case kTrayMessage:
      if (!trays_.empty()) {
        TrayIcon& icon = *trays_.front();
        switch (LOWORD(lParam)) {
          case WM_LBUTTONUP:
            icon.Click();
            break;
          case WM_RBUTTONUP:
            ShowTrayMenu(icon);
            break;
        }
      }
      return true;
    default:
      return false;
  }
}

}  // namespace ui::win32
