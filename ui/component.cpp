#include "ui/component.h"

#include <algorithm>
#include <cwctype>

namespace ui {

Component::Component(Component* owner, std::wstring name) : owner_(owner), name_(std::move(name)) {}

Component::~Component() {
  destroying_ = true;
  // Children go first, newest first, so that nothing outlives what it was made after.
  while (!owned_.empty()) owned_.pop_back();
}

void Component::FreeComponent(Component& owned) {
  auto it = std::find_if(owned_.begin(), owned_.end(), [&](const auto& c) { return c.get() == &owned; });
  if (it == owned_.end()) return;
  // Out of the list first: while it goes, the tree no longer shows it.
  std::unique_ptr<Component> gone = std::move(*it);
  owned_.erase(it);
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

Component* Component::FindComponent(std::wstring_view name) const {
  for (const auto& c : owned_) {
    if (SameText(c->Name(), name)) return c.get();
    if (Component* found = c->FindComponent(name)) return found;
  }
  return nullptr;
}

}  // namespace ui
