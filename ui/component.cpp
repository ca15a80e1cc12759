#include "ui/component.h"

#include <cwctype>

namespace ui {

Component::Component(Component* owner, std::wstring name) : owner_(owner), name_(std::move(name)) {}

Component::~Component() {
  destroying_ = true;
  // Children go first, newest first, so that nothing outlives what it was made after.
  while (!owned_.empty()) owned_.pop_back();
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
