#include <d3d8.h>

#include "bench/floors.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta::bench {

// Load the Direct3D 8 runtime, create its object, read the default adapter's
// identifier (the driver report's facts).
bool Direct3D8Floor() {
  ScopedLibrary library(L"d3d8.dll");
  using CreateFn = IDirect3D8*(WINAPI*)(UINT);
  auto create = library.Find<CreateFn>("Direct3DCreate8");
  if (!create) return false;
  ComPtr<IDirect3D8> d3d(create(D3D_SDK_VERSION));
  if (!d3d) return false;
  D3DADAPTER_IDENTIFIER8 identifier = {};
  return SUCCEEDED(d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier));
}

}  // namespace orvanta::bench
