// Owning COM interface pointer and the two OLE value types the task service takes.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace platform {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Out parameter of a call that hands over a reference; releases what was held.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  // A null answer with a success code would otherwise be called through later.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept {
    if (!p_) return E_POINTER;
    const HRESULT hr = p_->QueryInterface(iid, out.PutVoid());
    return SUCCEEDED(hr) && !out ? E_NOINTERFACE : hr;
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), UINT(text.size()))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR Get() const noexcept { return b_; }
  BSTR* Put() noexcept {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  bool Equals(const std::wstring& text) const noexcept {
    return b_ ? text.compare(0, std::wstring::npos, b_, SysStringLen(b_)) == 0 : text.empty();
  }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() noexcept { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  static Variant Int(LONG value) noexcept {
    Variant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
  }
  // Null when the text cannot be allocated.
  static Variant Text(const std::wstring& text) noexcept {
    Variant v;
    if (BSTR b = SysAllocStringLen(text.data(), UINT(text.size()))) {
      v.v_.vt = VT_BSTR;
      v.v_.bstrVal = b;
    }
    return v;
  }

  const VARIANT& Get() const noexcept { return v_; }

 private:
  Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  VARIANT v_;
};

}  // namespace platform
