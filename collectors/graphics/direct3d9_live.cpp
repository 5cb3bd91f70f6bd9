// Direct3D 9 from d3d9.dll, loaded by file name.
#include <windows.h>
#include <d3d9.h>

#include "collectors/graphics/direct3d_loader.h"

namespace orvanta {
namespace {

using Direct3DCreate9Fn = IDirect3D9*(WINAPI*)(UINT);
constexpr UINT kDirect3D9SdkVersion = 32;

class LiveDirect3D9 : public Direct3DRuntime {
 public:
  explicit LiveDirect3D9(ScopedLibrary library) : library_(std::move(library), "Direct3DCreate9") {}

  std::optional<ShaderVersionWords> HardwareShaderVersions() override {
    return HardwareShaderWords<D3DCAPS9>(CreateDirect3D<IDirect3D9>(library_.entry(), kDirect3D9SdkVersion),
                                         D3DDEVTYPE_HAL);
  }

 private:
  RuntimeLibrary<Direct3DCreate9Fn> library_;
};

}  // namespace

std::unique_ptr<Direct3DRuntime> LiveDirect3DRuntimes::LoadDirect3D9() {
  return LoadRuntime<LiveDirect3D9>(L"d3d9.dll");
}

}  // namespace orvanta
