// Direct3D 8's side of the graphics reports (its headers cannot share a file
// with Direct3D 9's): the video driver report through COM, and what the
// shader reports fall back to where Direct3D 9 gives no figure.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d8.h>

#include <string>

#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

constexpr wchar_t kNoDirectX8[] = L"DirectX8 or subsequent ones is not installed";

ComPtr<IDirect3D8> CreateDirect3D8(const ScopedLibrary& runtime) {
  using Create8 = IDirect3D8*(WINAPI*)(UINT);
  auto create = runtime.Find<Create8>("Direct3DCreate8");
  return ComPtr<IDirect3D8>(create ? create(D3D_SDK_VERSION) : nullptr);
}

TEST(VideoDriverReport, IsDirect3D8sDriverNameAndVersion) {
  ScopedLibrary runtime(L"d3d8.dll");
  std::wstring expected = runtime ? L"" : kNoDirectX8;
  D3DADAPTER_IDENTIFIER8 identifier = {};
  if (const ComPtr<IDirect3D8> direct3d = CreateDirect3D8(runtime);
      direct3d && direct3d->GetAdapterIdentifier(0, 0, &identifier) == D3D_OK) {
    const std::string driver = identifier.Driver;
    const uint64_t version = identifier.DriverVersion.QuadPart;
    expected.assign(driver.begin(), driver.end());
    expected += L"(";
    for (int shift = 48; shift >= 0; shift -= 16)
      expected += std::to_wstring((version >> shift) & 0xFFFF) + (shift ? L"." : L")");
  }
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(CallRecordedReport(control.Get(), IdOf(L"GetVideoDriverInfo")), expected);
}

}  // namespace

std::wstring ShaderModel(DWORD word, const wchar_t* runtime) {
  return std::to_wstring((word >> 8) & 0xFF) + L"." + std::to_wstring(word & 0xFF) + L"(" + runtime + L")";
}

std::wstring Direct3D8ShaderReport(bool vertex) {
  ScopedLibrary runtime(L"d3d8.dll");
  if (!runtime) return kNoDirectX8;
  const ComPtr<IDirect3D8> direct3d = CreateDirect3D8(runtime);
  D3DCAPS8 caps = {};
  if (!direct3d || direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps) != D3D_OK) return L"";
  return ShaderModel(vertex ? caps.VertexShaderVersion : caps.PixelShaderVersion, L"DirectX8");
}

}  // namespace orvanta::testing
