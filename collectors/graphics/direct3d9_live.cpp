// Direct3D 9 from d3d9.dll, loaded by file name. (Direct3D 8 lives in its own
// file: the two runtimes' headers cannot be mixed.)
#include <windows.h>
#include <d3d9.h>

#include "collectors/graphics/direct3d.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta {
namespace {

using Direct3DCreate9Fn = IDirect3D9*(WINAPI*)(UINT);
constexpr UINT kDirect3D9SdkVersion = 32;

class LiveDirect3D9 : public Direct3DRuntime {
 public:
  explicit LiveDirect3D9(ScopedLibrary library) : library_(std::move(library)) {}

  std::optional<ShaderVersionWords> HardwareShaderVersions() override {
    auto create = library_.Find<Direct3DCreate9Fn>("Direct3DCreate9");
    if (!create) return std::nullopt;
    ComPtr<IDirect3D9> direct3d(create(kDirect3D9SdkVersion));
    if (!direct3d) return std::nullopt;
    D3DCAPS9 caps = {};
    if (direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps) != D3D_OK) return std::nullopt;
    return ShaderVersionWords{caps.VertexShaderVersion, caps.PixelShaderVersion};
  }

 private:
  ScopedLibrary library_;
};

}  // namespace

std::unique_ptr<Direct3DRuntime> LiveDirect3DRuntimes::LoadDirect3D9() {
  ScopedLibrary library(L"d3d9.dll");
  if (!library) return nullptr;
  return std::make_unique<LiveDirect3D9>(std::move(library));
}

}  // namespace orvanta
