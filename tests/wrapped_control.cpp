#include "tests/wrapped_control.h"

#include <olectl.h>

#include <string>

#include "control/orvanta_idl.h"
#include "framework/class_factory.h"
#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/module.h"

namespace orvanta {
namespace {

class WrappedControl : public ComObject<WrappedControl, IDispatch> {
 public:
  explicit WrappedControl(ComPtr<IDispatch> control) : control_(std::move(control)) {}

  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<WrappedControl, IDispatch>},
        {&IID_IDispatch, CastTo<WrappedControl, IDispatch>},
    };
    return kMap;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return control_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override {
    return control_->GetTypeInfo(index, lcid, out);
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return control_->GetIDsOfNames(iid, names, count, lcid, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* arg_error) override {
    HRESULT hr = S_OK;
    if (kWrapperHook(id, result, info, &hr)) return hr;
    return control_->Invoke(id, iid, lcid, flags, params, result, info, arg_error);
  }

 private:
  ComPtr<IDispatch> control_;
};

HRESULT CreateWrappedControl(REFIID iid, void** out) {
  if (HRESULT hr; kWrapperHook(DISPID_UNKNOWN, nullptr, nullptr, &hr)) return hr;
  // The real module stays loaded for the life of the process.
  std::wstring path = ModuleState::FileName();
  path = path.substr(0, path.find_last_of(L'\\') + 1) + L"ORVANTA.OCX";
  static const HMODULE module = LoadLibraryW(path.c_str());
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  const auto get_class_object =
      module ? reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
             : nullptr;
  if (!get_class_object) return E_FAIL;
  ComPtr<IClassFactory> factory;
  HRESULT hr = get_class_object(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid());
  ComPtr<IDispatch> control;
  if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid());
  if (FAILED(hr)) return hr;
  return CreateComObject<WrappedControl>(iid, out, std::move(control));
}

HRESULT NoRegistry(bool) { return E_NOTIMPL; }

constexpr ClassRow kClasses[] = {{&CLSID_Orvanta, CreateWrappedControl, NoRegistry}};

}  // namespace
}  // namespace orvanta

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return orvanta::GetClassObject(orvanta::kClasses, clsid, iid, out);
}
