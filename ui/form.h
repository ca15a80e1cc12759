// Form, timer, tray icon and menus of the toolkit's model.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/control.h"

namespace ui {

using NativeHandle = std::uintptr_t;

// A window message the program answers itself; returns true when handled and sets result.
using MessageHandler =
    std::function<bool(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result)>;

enum class BorderStyle { None, Single };

class Form : public Control {
 public:
  Form(Component* owner, std::wstring name, std::wstring className);

  const std::wstring& ClassName() const { return className_; }
  int ClientWidth() const { return Bounds().Width; }
  int ClientHeight() const { return Bounds().Height; }

  NotifyEvent OnCreate;
  std::function<void(Component& sender, bool& canClose)> OnCloseQuery;
  MessageHandler OnMessage;
  // Set by the application: the form closed, so the program's loop ends.
  std::function<void()> OnClosed;
  // Set by the native side: a component was made after the form was realised.
  std::function<void(Component&)> OnComponentCreated;

  // Runs the creation step; the toolkit calls it once, right after the peers exist.
  void DoCreate();
  // A close request: asks OnCloseQuery and closes only when allowed.
  void Close();
  bool Closed() const { return closed_; }
  bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

  void ClearActiveControl() { Notify(Prop::Focus); }
  // Switches to the desktop (icon-title) font; children without a font of their own follow.
  void UseDesktopFont() { desktopFont_ = true; Notify(Prop::Font); }
  bool UsesDesktopFont() const { return desktopFont_; }

  // A single fixed frame with a title bar, or no frame at all.
  BorderStyle Border() const { return border_; }
  void SetBorder(BorderStyle border) {
    if (border == border_) return;
    border_ = border;
    Notify(Prop::Border);
  }

  NativeHandle Handle() const { return handle_; }
  void SetHandle(NativeHandle h) { handle_ = h; }

 protected:
  void ComponentCreated(Component& created) override {
    if (OnComponentCreated) OnComponentCreated(created);
  }

 private:
  std::wstring className_;
  bool closed_ = false;
  bool desktopFont_ = false;
  BorderStyle border_ = BorderStyle::Single;
  NativeHandle handle_ = 0;
};

class Timer;
class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  virtual void Changed(Timer& timer) = 0;
};

class Timer : public Component {
 public:
  using Component::Component;
  ~Timer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  NotifyEvent OnTimer;
  void Fire() {
    if (enabled_ && OnTimer) OnTimer(*this);
  }
  void AttachPeer(TimerPeer* peer) { peer_ = peer; }

 private:
  bool enabled_ = true;
  unsigned interval_ = 1000;
  TimerPeer* peer_ = nullptr;
};

class MenuItem : public Component {
 public:
  MenuItem(Component* owner, std::wstring name, int command) : Component(owner, std::move(name)), command_(command) {}
  std::wstring Caption;
  NotifyEvent OnClick;
  int Command() const { return command_; }
  bool IsSeparator() const { return Caption == L"-"; }
  void Click() {
    if (OnClick) OnClick(*this);
  }

 private:
  int command_;
};

class PopupMenu : public Component {
 public:
  using Component::Component;
  bool AutoHotkeys = false;
  MenuItem& Add(std::wstring name, std::wstring caption, int command);
  const std::vector<MenuItem*>& Items() const { return items_; }
  MenuItem* FindCommand(int command) const;

 private:
  std::vector<MenuItem*> items_;
};

class ImageList : public Component {
 public:
  using Component::Component;
  int Width = 16, Height = 16;
  int Count = 0;
};

// The pause before the given retry (0 first) to put a tray icon into a notification area that
// refused it, as at a busy logon: about 1, 2, 4, 8 ... units, none longer than 60, until 300
// units have passed in all; then 0, which means give up. A unit is a second.
std::uint32_t TrayRetryPause(int retry, std::uint32_t unitMs = 1000);

class TrayIcon;
class TrayIconPeer {
 public:
  virtual ~TrayIconPeer() = default;
  virtual void Changed(TrayIcon& icon) = 0;
  virtual void ShowBalloon(TrayIcon&, const std::wstring& /*title*/, const std::wstring& /*text*/) {}
};

// The notification-area icon; made invisible, shown once the shell is ready.
class TrayIcon : public Component {
 public:
  using Component::Component;
  ~TrayIcon() override;
  const std::wstring& Hint() const { return hint_; }
  void SetHint(std::wstring hint);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  ImageList* Images = nullptr;
  PopupMenu* Popup = nullptr;
  NotifyEvent OnClick;
  void Click() {
    if (OnClick) OnClick(*this);
  }
  void AttachPeer(TrayIconPeer* peer) { peer_ = peer; }
  // A desktop notification coming from this icon.
  void ShowBalloon(const std::wstring& title, const std::wstring& text) {
    if (peer_) peer_->ShowBalloon(*this, title, text);
  }

 private:
  void Notify() {
    if (peer_) peer_->Changed(*this);
  }
  std::wstring hint_;
  bool visible_ = false;
  int imageIndex_ = -1;
  TrayIconPeer* peer_ = nullptr;
};

}  // namespace ui
