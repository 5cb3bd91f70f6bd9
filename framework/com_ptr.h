// ComPtr: owns one reference to a COM interface.
#pragma once

#include <windows.h>

#include "framework/scoped_generic.h"

namespace orvanta {

template <class T>
struct ComTraits {
  using Type = T*;
  static T* Invalid() { return nullptr; }
  static void Free(T* ptr) { ptr->Release(); }
};

// Holds at most one reference and releases it (see ScopedGeneric); adopting
// a pointer adds no reference.
template <class T>
class ComPtr : public ScopedGeneric<ComTraits<T>> {
 public:
  using ScopedGeneric<ComTraits<T>>::ScopedGeneric;
  using ScopedGeneric<ComTraits<T>>::Get;
  ComPtr() = default;

  // Returns a new owner of an extra reference to |ptr| (which may be null).
  static ComPtr Share(T* ptr) {
    if (ptr) ptr->AddRef();
    return ComPtr(ptr);
  }

  T* operator->() const { return Get(); }
  void** ReceiveVoid() { return reinterpret_cast<void**>(this->Receive()); }

  // Asks the held object for another interface.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (!Get()) return E_POINTER;
    return Get()->QueryInterface(iid, out->ReceiveVoid());
  }
};

}  // namespace orvanta
