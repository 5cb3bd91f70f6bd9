// The module's entry points and its table of classes.
#include <olectl.h>

#include "control/orvanta_ctrl.h"
#include "control/orvanta_idl.h"
#include "control/prop_page.h"
#include "control/registration.h"
#include "framework/class_factory.h"
#include "framework/results.h"

namespace orvanta {
namespace {

HRESULT CreateControl(REFIID iid, void** out) { return CreateComObject<COrvantaCtrl>(iid, out); }
HRESULT CreatePropPage(REFIID iid, void** out) { return CreateComObject<COrvantaPropPage>(iid, out); }

constexpr ClassRow kClasses[] = {
    {&CLSID_Orvanta, CreateControl, UpdateControlRegistry},
    {&CLSID_OrvantaPropPage, CreatePropPage, UpdatePropPageRegistry},
};

HRESULT UpdateClasses(bool do_register) {
  for (const ClassRow& row : kClasses) {
    if (FAILED(row.update_registry(do_register))) return SELFREG_E_CLASS;
  }
  return S_OK;
}

}  // namespace
}  // namespace orvanta

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return orvanta::GetClassObject(orvanta::kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return orvanta::ModuleState::CanUnload() ? S_OK : S_FALSE; }

// Registration builds its registry paths as strings: running out of memory
// there ends the call, never the caller.
STDAPI DllRegisterServer() {
  return orvanta::GuardedResult([] {
    if (FAILED(orvanta::RegisterTypeLibrary())) return SELFREG_E_TYPELIB;
    return orvanta::UpdateClasses(true);
  });
}

STDAPI DllUnregisterServer() {
  return orvanta::GuardedResult([] {
    if (FAILED(orvanta::UnregisterTypeLibrary())) return SELFREG_E_TYPELIB;
    return orvanta::UpdateClasses(false);
  });
}
