#include "wmi/wmi_query_runner.h"

#include <wbemidl.h>

#include <string_view>

#include "framework/com_apartment.h"
#include "framework/com_ptr.h"
#include "framework/provider_lock.h"
#include "framework/scoped_bstr.h"
#include "framework/scoped_variant.h"

namespace orvanta {
namespace {

// Process-wide security as WMI clients set it. Only the first call in a
// process can set it; later ones (or one after the host's own) answer
// RPC_E_TOO_LATE, which means that it is set.
bool SetProcessSecurity() {
  const HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                              RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  return SUCCEEDED(result) || result == RPC_E_TOO_LATE;
}

// Reads every property of |handle| from |object| into the handle's map.
void ReadProperties(IWbemClassObject* object, WMIDataHandle& handle) {
  for (auto& [name, text] : handle.Properties()) {
    ScopedVariant value;
    if (SUCCEEDED(object->Get(name.c_str(), 0, value.Receive(), nullptr, nullptr))) {
      StorePropertyText(value.Get(), text);
    }
  }
}

}  // namespace

int WMIQueryRunner::Run(WMIDataHandle& handle) {
  const CriticalSectionLock lock(ProviderLock());
  const ComApartment apartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (!apartment.Initialized()) return 0;
  if (!SetProcessSecurity()) return 0;

  // Declared so that they are released in the order services, locator,
  // enumerator, and all before the apartment ends.
  ComPtr<IEnumWbemClassObject> enumerator;
  ComPtr<IWbemLocator> locator;
  ComPtr<IWbemServices> services;

  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.ReceiveVoid()))) {
    return 0;
  }
  if (FAILED(locator->ConnectServer(ScopedBstr(handle.Namespace()).Get(), nullptr, nullptr, nullptr, 0, nullptr,
                                    nullptr, services.Receive()))) {
    return 0;
  }
  if (FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    return 0;
  }
  if (FAILED(services->ExecQuery(ScopedBstr(std::wstring_view(L"WQL")).Get(), ScopedBstr(handle.Query()).Get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 enumerator.Receive()))) {
    return 0;
  }

  for (;;) {
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    // A failing Next ends the enumeration like its end does.
    enumerator->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
    if (returned == 0 || !object) break;
    ReadProperties(object.Get(), handle);
    handle.HandleData(handle.Properties());
  }
  return 1;
}

}  // namespace orvanta
