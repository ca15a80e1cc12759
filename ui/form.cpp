#include "ui/form.h"

namespace ui {

Form::Form(Component* owner, std::wstring name, std::wstring className)
    : Control(owner, std::move(name), ControlKind::Form, nullptr), className_(std::move(className)) {}

void Form::DoCreate() {
  if (OnCreate) OnCreate(*this);
}

void Form::Close() {
  if (closed_) return;
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(*this, canClose);
  if (!canClose) return;
  closed_ = true;
  if (OnClosed) OnClosed();
}

bool Form::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result) {
  return OnMessage && OnMessage(msg, wParam, lParam, result);
}

Timer::~Timer() {
  if (peer_) {
    enabled_ = false;
    peer_->Changed(*this);
  }
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (peer_) peer_->Changed(*this);
}

void Timer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (peer_) peer_->Changed(*this);
}

MenuItem& PopupMenu::Add(std::wstring name, std::wstring caption, int command) {
  MenuItem& item = Owner()->Create<MenuItem>(std::move(name), command);
  item.Caption = std::move(caption);
  items_.push_back(&item);
  return item;
}

MenuItem* PopupMenu::FindCommand(int command) const {
  for (MenuItem* item : items_)
    if (item->Command() == command) return item;
  return nullptr;
}

std::uint32_t TrayRetryPause(int retry, std::uint32_t unitMs) {
  constexpr std::uint32_t kLongest = 60, kBudget = 300;
  std::uint32_t before = 0, pause = 1;
  for (int i = 0; i < retry && before < kBudget; ++i) {
    before += pause;
    pause = pause * 2 < kLongest ? pause * 2 : kLongest;
  }
  if (retry < 0 || before >= kBudget) return 0;
  return (pause < kBudget - before ? pause : kBudget - before) * unitMs;
}

TrayIcon::~TrayIcon() {
  destroying_ = true;
  if (peer_) {
    visible_ = false;
    peer_->Changed(*this);
  }
}

void TrayIcon::SetHint(std::wstring hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  Notify();
}

void TrayIcon::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Notify();
}

void TrayIcon::SetImageIndex(int index) {
  if (index == imageIndex_) return;
  imageIndex_ = index;
  Notify();
}

}  // namespace ui
