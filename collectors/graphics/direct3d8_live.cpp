// Direct3D 8 from d3d8.dll, loaded by file name.
#include <windows.h>
#include <d3d8.h>

#include "collectors/graphics/direct3d_loader.h"
#include "framework/report_text.h"

namespace orvanta {
namespace {

using Direct3DCreate8Fn = IDirect3D8*(WINAPI*)(UINT);
constexpr UINT kDirect3D8SdkVersion = 220;

class LiveDirect3D8 : public Direct3D8Runtime {
 public:
  explicit LiveDirect3D8(ScopedLibrary library) : library_(std::move(library), "Direct3DCreate8") {}

  std::optional<ShaderVersionWords> HardwareShaderVersions() override {
    return HardwareShaderWords<D3DCAPS8>(Create(), D3DDEVTYPE_HAL);
  }

  std::optional<AdapterDriver> DefaultAdapterDriver() override {
    const ComPtr<IDirect3D8> direct3d = Create();
    if (!direct3d) return std::nullopt;
    D3DADAPTER_IDENTIFIER8 identifier = {};
    if (direct3d->GetAdapterIdentifier(0, 0, &identifier) != D3D_OK) return std::nullopt;
    return AdapterDriver{WideFromThreadAnsi(identifier.Driver, sizeof(identifier.Driver)),
                         static_cast<uint64_t>(identifier.DriverVersion.QuadPart)};
  }

 private:
  ComPtr<IDirect3D8> Create() const {
    return CreateDirect3D<IDirect3D8>(library_.entry(), kDirect3D8SdkVersion);
  }

  RuntimeLibrary<Direct3DCreate8Fn> library_;
};

}  // namespace

std::unique_ptr<Direct3D8Runtime> LiveDirect3DRuntimes::LoadDirect3D8() {
  return LoadRuntime<LiveDirect3D8>(L"d3d8.dll");
}

}  // namespace orvanta
