// The video driver report through COM, against Direct3D 8's own answer. (Its
// headers cannot share a file with Direct3D 9's.)
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d8.h>

#include <string>

#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

TEST(VideoDriverReport, IsDirect3D8sDriverNameAndVersion) {
  using Create8 = IDirect3D8*(WINAPI*)(UINT);
  ScopedLibrary runtime(L"d3d8.dll");
  auto create = runtime.Find<Create8>("Direct3DCreate8");
  ASSERT_NE(create, nullptr);
  ComPtr<IDirect3D8> direct3d(create(D3D_SDK_VERSION));
  ASSERT_TRUE(direct3d);
  D3DADAPTER_IDENTIFIER8 identifier = {};
  ASSERT_EQ(direct3d->GetAdapterIdentifier(0, 0, &identifier), D3D_OK);
  const std::string driver = identifier.Driver;
  ASSERT_FALSE(driver.empty());
  const uint64_t version = identifier.DriverVersion.QuadPart;
  std::wstring expected(driver.begin(), driver.end());
  expected += L"(";
  for (int shift = 48; shift >= 0; shift -= 16)
    expected += std::to_wstring((version >> shift) & 0xFFFF) + (shift ? L"." : L")");

  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(CallReport(control.Get(), IdOf(L"GetVideoDriverInfo")), expected);
}

}  // namespace
}  // namespace orvanta::testing
