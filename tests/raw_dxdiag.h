// One query of the DxDiag provider made straight through its interfaces, as
// the DirectX version detection makes it but apart from the control's own
// code: the soak measures with it what the provider itself keeps of every
// use, and the benchmark times it as the floor of the DirectX reports.
#pragma once

#include <windows.h>
#include <dxdiag.h>

#include "framework/com_ptr.h"
#include "framework/scoped_variant.h"

namespace orvanta::testing {

// Creates and initialises the provider, opens "DxDiag_SystemInfo" and reads
// one property; everything is released before it returns. False at the first
// step that fails. COM must be initialised on the calling thread.
inline bool QueryDxDiagDirectly() {
  ComPtr<IDxDiagProvider> provider;
  if (FAILED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                              provider.ReceiveVoid())))
    return false;
  DXDIAG_INIT_PARAMS params = {sizeof(params), DXDIAG_DX9_SDK_VERSION, FALSE, nullptr};
  ComPtr<IDxDiagContainer> root, system_info;
  ScopedVariant major;
  return SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(root.Receive())) &&
         SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", system_info.Receive())) &&
         SUCCEEDED(system_info->GetProp(L"dwDirectXVersionMajor", major.Receive()));
}

}  // namespace orvanta::testing
