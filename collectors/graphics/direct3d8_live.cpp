// Direct3D 8 from d3d8.dll, loaded by file name. (Its headers cannot share a
// file with Direct3D 9's.)
#include <windows.h>
#include <d3d8.h>

#include <vector>

#include "collectors/graphics/direct3d.h"
#include "framework/com_ptr.h"
#include "framework/report_text.h"
#include "framework/scoped_library.h"

namespace orvanta {
namespace {

using Direct3DCreate8Fn = IDirect3D8*(WINAPI*)(UINT);
constexpr UINT kDirect3D8SdkVersion = 220;

class LiveDirect3D8 : public Direct3D8Runtime {
 public:
  explicit LiveDirect3D8(ScopedLibrary library) : library_(std::move(library)) {}

  std::optional<ShaderVersionWords> HardwareShaderVersions() override {
    ComPtr<IDirect3D8> direct3d = Create();
    if (!direct3d) return std::nullopt;
    D3DCAPS8 caps = {};
    if (direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps) != D3D_OK) return std::nullopt;
    return ShaderVersionWords{caps.VertexShaderVersion, caps.PixelShaderVersion};
  }

  std::optional<AdapterDriver> DefaultAdapterDriver() override {
    ComPtr<IDirect3D8> direct3d = Create();
    if (!direct3d) return std::nullopt;
    D3DADAPTER_IDENTIFIER8 identifier = {};
    if (direct3d->GetAdapterIdentifier(0, 0, &identifier) != D3D_OK) return std::nullopt;
    return AdapterDriver{WideFromThreadAnsi(identifier.Driver, sizeof(identifier.Driver)),
                         static_cast<uint64_t>(identifier.DriverVersion.QuadPart)};
  }

 private:
  ComPtr<IDirect3D8> Create() const {
    auto create = library_.Find<Direct3DCreate8Fn>("Direct3DCreate8");
    return ComPtr<IDirect3D8>(create ? create(kDirect3D8SdkVersion) : nullptr);
  }

  ScopedLibrary library_;
};

}  // namespace

std::unique_ptr<Direct3D8Runtime> LiveDirect3DRuntimes::LoadDirect3D8() {
  ScopedLibrary library(L"d3d8.dll");
  if (!library) return nullptr;
  return std::make_unique<LiveDirect3D8>(std::move(library));
}

}  // namespace orvanta
