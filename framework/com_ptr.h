// ComPtr: owns one reference to a COM interface.
#pragma once

#include <windows.h>

#include <utility>

namespace orvanta {

// Holds at most one reference and releases it when reset or destroyed.
// Shaped like unique_ptr: Get() borrows, Release() hands the reference to the
// caller, Receive() lends the slot to an API that returns a new reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Adopts |ptr| without adding a reference.
  explicit ComPtr(T* ptr) : ptr_(ptr) {}
  ComPtr(ComPtr&& other) noexcept : ptr_(other.Release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }

  // Returns a new owner of an extra reference to |ptr| (which may be null).
  static ComPtr Share(T* ptr) {
    if (ptr) ptr->AddRef();
    return ComPtr(ptr);
  }

  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Releases the held reference and adopts |ptr|.
  void Reset(T* ptr = nullptr) {
    T* old = std::exchange(ptr_, ptr);
    if (old) old->Release();
  }
  // Gives up ownership without releasing.
  [[nodiscard]] T* Release() { return std::exchange(ptr_, nullptr); }
  // Releases the held reference and returns the empty slot for an out-parameter.
  T** Receive() {
    Reset();
    return &ptr_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  // Asks the held object for another interface.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (!ptr_) return E_POINTER;
    return ptr_->QueryInterface(iid, out->ReceiveVoid());
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace orvanta
