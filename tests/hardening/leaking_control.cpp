// A stand-in module for the soak's own check: it hands out the real control
// from ORVANTA.OCX beside it, wrapped so that one method leaks on every call.
// ORVANTA_PLANTED_LEAK names the leak: "handle:<id>" keeps one event handle,
// "heap:<id>" one 4 KB heap block, per call of method <id>. The soak must
// fail on either.
#include <windows.h>
#include <olectl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "control/orvanta_idl.h"
#include "framework/class_factory.h"
#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/module.h"

namespace orvanta {
namespace {

enum class Leak { kNone, kHandle, kHeap };

struct PlantedLeak {
  Leak kind = Leak::kNone;
  DISPID method = 0;
};

PlantedLeak ReadPlantedLeak() {
  const char* text = std::getenv("ORVANTA_PLANTED_LEAK");
  if (!text) return {};
  for (const auto& [prefix, kind] : {std::pair{"handle:", Leak::kHandle}, std::pair{"heap:", Leak::kHeap}}) {
    if (std::strncmp(text, prefix, std::strlen(prefix)) == 0)
      return {kind, static_cast<DISPID>(std::atoi(text + std::strlen(prefix)))};
  }
  return {};
}

class LeakingControl : public ComObject<LeakingControl, IDispatch> {
 public:
  explicit LeakingControl(ComPtr<IDispatch> control) : control_(std::move(control)) {}

  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<LeakingControl, IDispatch>},
        {&IID_IDispatch, CastTo<LeakingControl, IDispatch>},
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
    static const PlantedLeak leak = ReadPlantedLeak();
    if (id == leak.method && leak.kind == Leak::kHandle) static_cast<void>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (id == leak.method && leak.kind == Leak::kHeap) static_cast<void>(HeapAlloc(GetProcessHeap(), 0, 4096));
    return control_->Invoke(id, iid, lcid, flags, params, result, info, arg_error);
  }

 private:
  ComPtr<IDispatch> control_;
};

HRESULT CreateLeakingControl(REFIID iid, void** out) {
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
  return CreateComObject<LeakingControl>(iid, out, std::move(control));
}

HRESULT NoRegistry(bool) { return E_NOTIMPL; }

constexpr ClassRow kClasses[] = {{&CLSID_Orvanta, CreateLeakingControl, NoRegistry}};

}  // namespace
}  // namespace orvanta

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return orvanta::GetClassObject(orvanta::kClasses, clsid, iid, out);
}
