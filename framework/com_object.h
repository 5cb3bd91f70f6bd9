// ComObject: reference counting and an interface map for the module's COM
// objects.
#pragma once

#include <windows.h>

#include <span>

#include "framework/module.h"
#include "framework/results.h"

namespace orvanta {

// One row of an interface map: an interface identifier and the cast that
// yields the object's pointer for it.
struct InterfaceEntry {
  const IID* iid;
  IUnknown* (*cast)(void* self);
};

template <class Object, class Interface>
IUnknown* CastTo(void* self) {
  return static_cast<Interface*>(static_cast<Object*>(self));
}

// Looks |iid| up in |map| and hands out an added reference on success.
inline HRESULT QueryInterfaceFromMap(void* self, std::span<const InterfaceEntry> map, REFIID iid,
                                     void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const InterfaceEntry& entry : map) {
    if (IsEqualIID(*entry.iid, iid)) {
      IUnknown* found = entry.cast(self);
      found->AddRef();
      *out = found;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

// Base of a heap-allocated COM object that implements |Interfaces|. Derived
// declares `static std::span<const InterfaceEntry> InterfaceMap()`, whose first
// row answers IID_IUnknown. Objects start with one reference, which the
// creator owns, and count as alive for DllCanUnloadNow until destroyed.
template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return QueryInterfaceFromMap(static_cast<Derived*>(this), Derived::InterfaceMap(), iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  ComObject() { ModuleState::ObjectCreated(); }
  virtual ~ComObject() { ModuleState::ObjectDestroyed(); }

 private:
  LONG refs_ = 1;
};

// Creates an Object and asks it for |iid|; the creator's reference is dropped
// so that the caller's pointer holds the only one.
template <class Object, class... Args>
HRESULT CreateComObject(REFIID iid, void** out, Args&&... args) {
  if (!out) return E_POINTER;
  *out = nullptr;
  Object* object = nullptr;
  const HRESULT created = GuardedResult([&] {
    object = new Object(static_cast<Args&&>(args)...);
    return S_OK;
  });
  if (FAILED(created)) return created;
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

}  // namespace orvanta
