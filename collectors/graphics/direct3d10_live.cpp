// Direct3D 10.1 and 10 from d3d10_1.dll and d3d10.dll, loaded by file name.
#include <windows.h>
#include <d3d10_1.h>

#include "collectors/graphics/direct3d_loader.h"

namespace orvanta {
namespace {

// The SDK versions that the entry points check: D3D10_SDK_VERSION for
// D3D10CreateDevice, D3D10_1_SDK_VERSION for D3D10CreateDevice1. A runtime
// that is given the wrong one creates no device.
constexpr UINT kDirect3D10SdkVersion = 29;
constexpr UINT kDirect3D10_1SdkVersion = 0x20;

using D3D10CreateDevice1Fn = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT,
                                              D3D10_FEATURE_LEVEL1, UINT, ID3D10Device1**);
using D3D10CreateDeviceFn = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT, UINT, ID3D10Device**);

class LiveDirect3D10_1 : public Direct3D10Runtime {
 public:
  explicit LiveDirect3D10_1(ScopedLibrary library) : library_(std::move(library), "D3D10CreateDevice1") {}

  bool CanCreateDevice(UINT driver_type, UINT feature_level) override {
    if (!library_.entry()) return false;
    ComPtr<ID3D10Device1> device;
    return SUCCEEDED(library_.entry()(nullptr, static_cast<D3D10_DRIVER_TYPE>(driver_type), nullptr, 0,
                                      static_cast<D3D10_FEATURE_LEVEL1>(feature_level), kDirect3D10_1SdkVersion,
                                      device.Receive()));
  }

 private:
  RuntimeLibrary<D3D10CreateDevice1Fn> library_;
};

class LiveDirect3D10 : public Direct3D10Runtime {
 public:
  explicit LiveDirect3D10(ScopedLibrary library) : library_(std::move(library), "D3D10CreateDevice") {}

  bool CanCreateDevice(UINT driver_type, UINT) override {
    if (!library_.entry()) return false;
    ComPtr<ID3D10Device> device;
    return SUCCEEDED(library_.entry()(nullptr, static_cast<D3D10_DRIVER_TYPE>(driver_type), nullptr, 0,
                                      kDirect3D10SdkVersion, device.Receive()));
  }

 private:
  RuntimeLibrary<D3D10CreateDeviceFn> library_;
};

}  // namespace

std::unique_ptr<Direct3D10Runtime> LiveDirect3DRuntimes::LoadDirect3D10_1() {
  return LoadRuntime<LiveDirect3D10_1>(L"d3d10_1.dll");
}

std::unique_ptr<Direct3D10Runtime> LiveDirect3DRuntimes::LoadDirect3D10() {
  return LoadRuntime<LiveDirect3D10>(L"d3d10.dll");
}

}  // namespace orvanta
