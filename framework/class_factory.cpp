#include "framework/class_factory.h"

#include "framework/com_object.h"
#include "framework/module.h"

namespace orvanta {
namespace {

// Creates instances of one class. Not aggregatable. A living class object
// keeps the module loaded, as does a lock.
class ClassFactory : public ComObject<ClassFactory, IClassFactory> {
 public:
  explicit ClassFactory(const ClassRow& row) : row_(row) {}

  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<ClassFactory, IClassFactory>},
        {&IID_IClassFactory, CastTo<ClassFactory, IClassFactory>},
    };
    return kMap;
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return row_.create(iid, out);
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      ModuleState::Lock();
    else
      ModuleState::Unlock();
    return S_OK;
  }

 private:
  const ClassRow& row_;
};

}  // namespace

HRESULT GetClassObject(std::span<const ClassRow> classes, REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const ClassRow& row : classes) {
    if (IsEqualCLSID(*row.clsid, clsid)) return CreateComObject<ClassFactory>(iid, out, row);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace orvanta
