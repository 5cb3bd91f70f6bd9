#include <d3d9.h>

#include "bench/floors.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta::bench {

// Load the Direct3D 9 runtime, create its object, read the default adapter's
// hardware capabilities (the shader reports' facts).
bool Direct3D9Floor() {
  ScopedLibrary library(L"d3d9.dll");
  using CreateFn = IDirect3D9*(WINAPI*)(UINT);
  auto create = library.Find<CreateFn>("Direct3DCreate9");
  if (!create) return false;
  ComPtr<IDirect3D9> d3d(create(D3D_SDK_VERSION));
  if (!d3d) return false;
  D3DCAPS9 caps = {};
  return SUCCEEDED(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps));
}

}  // namespace orvanta::bench
