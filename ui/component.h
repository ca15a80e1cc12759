// The toolkit's model: components own their children and carry a name, so the tree can be
// walked (translation, the probe) and events can be raised without any native window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class Component {
 public:
  Component(Component* owner, std::wstring name);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const std::wstring& Name() const { return name_; }
  Component* Owner() const { return owner_; }
  const std::vector<std::unique_ptr<Component>>& Components() const { return owned_; }

  // Depth-first search of the owned tree, case-insensitive like the names it compares.
  Component* FindComponent(std::wstring_view name) const;

  // Makes a component owned by this one and returns it; the owner frees it.
  template <class T, class... Args>
  T& Create(std::wstring name, Args&&... args) {
    auto child = std::make_unique<T>(this, std::move(name), std::forward<Args>(args)...);
    T& ref = *child;
    owned_.push_back(std::move(child));
    ComponentCreated(ref);
    return ref;
  }

  // Frees a component this one owns, before the owner itself goes.
  void FreeComponent(Component& owned);

  bool Destroying() const { return destroying_; }
  // Expires when the component is freed; workers hold this instead of a raw pointer.
  std::weak_ptr<void> Lifetime() const { return lifetime_; }

 protected:
  // Told of every component made anywhere below this one; the form hands it to its peers.
  virtual void ComponentCreated(Component& created) {
    if (owner_) owner_->ComponentCreated(created);
  }
  bool destroying_ = false;

 private:
  Component* owner_;
  std::wstring name_;
  std::vector<std::unique_ptr<Component>> owned_;
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

bool SameText(std::wstring_view a, std::wstring_view b);

using NotifyEvent = std::function<void(Component& sender)>;

}  // namespace ui
