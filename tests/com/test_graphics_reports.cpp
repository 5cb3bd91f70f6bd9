// The DirectX, shader, display mode and video memory reports of this machine
// through COM, checked against what the test asks the same runtimes itself.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d10_1.h>
#include <d3d9.h>
#include <ddraw.h>
#include <dxdiag.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

// The provider's identifiers, as <dxdiag.h> gives them.
constexpr CLSID kDxDiagProvider = {0xA65B8071, 0x3BFE, 0x4213, {0x9A, 0x5B, 0x49, 0x1D, 0xA4, 0x46, 0x1C, 0xA7}};
constexpr IID kIDxDiagProvider = {0x9C6B4CB0, 0x23F8, 0x49CC, {0xA3, 0xED, 0x45, 0xA5, 0x50, 0x00, 0xA6, 0xD2}};

class GraphicsReports : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  std::wstring Report(DISPID id) { return CallReport(control_.Get(), id); }
  ComPtr<IDispatch> control_;
};

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

// One property of the provider's "DxDiag_SystemInfo" container.
std::wstring DxDiagSystemText(const wchar_t* name) {
  ComPtr<IDxDiagProvider> provider;
  EXPECT_EQ(CoCreateInstance(kDxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, kIDxDiagProvider,
                             provider.ReceiveVoid()),
            S_OK);
  if (!provider) return {};
  DXDIAG_INIT_PARAMS params = {sizeof(params), DXDIAG_DX9_SDK_VERSION, FALSE, nullptr};
  EXPECT_EQ(provider->Initialize(&params), S_OK);
  ComPtr<IDxDiagContainer> root, system;
  EXPECT_EQ(provider->GetRootContainer(root.Receive()), S_OK);
  if (!root) return {};
  EXPECT_EQ(root->GetChildContainer(L"DxDiag_SystemInfo", system.Receive()), S_OK);
  if (!system) return {};
  ScopedVariant value;
  EXPECT_EQ(system->GetProp(name, value.Receive()), S_OK);
  EXPECT_EQ(value.Type(), VT_BSTR);
  return value.Type() == VT_BSTR ? std::wstring(V_BSTR(&value.Get())) : std::wstring();
}

TEST_F(GraphicsReports, DirectXIsTheProvidersLongTextInThirtyOneCharacters) {
  const std::wstring long_text = DxDiagSystemText(L"szDirectXVersionLongEnglish");
  ASSERT_FALSE(long_text.empty());
  EXPECT_EQ(Report(IdOf(L"GetDirectXInfo")), long_text.substr(0, 31) + L"\n");
}

TEST_F(GraphicsReports, ShadersAreTheDirect3D9HardwareDevicesModels) {
  ComPtr<IDirect3D9> direct3d(Direct3DCreate9(D3D_SDK_VERSION));
  ASSERT_TRUE(direct3d);
  D3DCAPS9 caps = {};
  ASSERT_EQ(direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  auto model = [](DWORD word) {
    return std::to_wstring((word >> 8) & 0xFF) + L"." + std::to_wstring(word & 0xFF) + L"(DirectX9)";
  };
  EXPECT_EQ(Report(IdOf(L"GetVertexShaderVersion")), model(caps.VertexShaderVersion));
  EXPECT_EQ(Report(IdOf(L"GetPixelShaderVersion")), model(caps.PixelShaderVersion));
}

TEST_F(GraphicsReports, UnifiedListsTheDirect3D10_1DevicesThatCanBeMade) {
  using CreateDevice1 = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT, D3D10_FEATURE_LEVEL1,
                                         UINT, ID3D10Device1**);
  ScopedLibrary runtime(L"d3d10_1.dll");
  auto create = runtime.Find<CreateDevice1>("D3D10CreateDevice1");
  ASSERT_NE(create, nullptr);
  std::wstring expected;
  for (D3D10_FEATURE_LEVEL1 level : {D3D10_FEATURE_LEVEL_10_1, D3D10_FEATURE_LEVEL_10_0}) {
    const wchar_t* names[] = {L"HAL", L"REF", L"NULL", L"SOFT"};
    for (int type = 0; type < 4; ++type) {
      ComPtr<ID3D10Device1> device;
      if (SUCCEEDED(create(nullptr, static_cast<D3D10_DRIVER_TYPE>(type), nullptr, 0, level, D3D10_SDK_VERSION,
                           device.Receive())))
        expected += std::wstring(L"4.1(DirectX10.1/") + names[type] +
                    (level == D3D10_FEATURE_LEVEL_10_1 ? L"_10_1)\n" : L"_10_0)\n");
    }
  }
  ASSERT_FALSE(expected.empty()) << "Wine's Direct3D 10.1 makes no device";
  EXPECT_EQ(Report(IdOf(L"GetUnifiedShaderVersion")), expected);
}

TEST_F(GraphicsReports, NowDisplayModeIsTheScreens) {
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
  ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  std::wstring expected = std::to_wstring(mode.dmPelsWidth) + L" * " + std::to_wstring(mode.dmPelsHeight) + L"  " +
                          std::to_wstring(mode.dmBitsPerPel) + L"bit";
  // 0 and 1 are the hardware's default rate.
  if (static_cast<int>(mode.dmDisplayFrequency) > 1)
    expected += L" (" + std::to_wstring(mode.dmDisplayFrequency) + L"Hz)";
  EXPECT_EQ(Report(IdOf(L"GetNowDisplayMode")), expected + L"\n");
}

TEST_F(GraphicsReports, DisplayModeListShowsTheEnumeratedModesInOrder) {
  std::vector<std::wstring> modes;
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
  for (DWORD index = 0; EnumDisplaySettingsW(nullptr, index, &mode); ++index)
    modes.push_back(std::to_wstring(mode.dmPelsWidth) + L" * " + std::to_wstring(mode.dmPelsHeight) + L"  " +
                    std::to_wstring(mode.dmBitsPerPel) + L"bit");
  const std::wstring report = Report(IdOf(L"GetDisplayModeList"));
  ASSERT_TRUE(!modes.empty() && report.ends_with(L"\n")) << report;
  std::wistringstream lines(report);
  std::wstring line, previous;
  for (auto next = modes.begin(); std::getline(lines, line); previous = line) {
    EXPECT_NE(line, previous);
    next = std::find(next, modes.end(), line);
    ASSERT_NE(next, modes.end()) << line << L" out of order or not enumerated";
  }
  for (const std::wstring& m : modes) EXPECT_NE(report.find(m + L"\n"), std::wstring::npos) << m;
}

// DirectDraw's total for |caps|, as the reports print it.
std::wstring VideoMemoryLine(DWORD caps) {
  ComPtr<IDirectDraw> direct_draw;
  EXPECT_EQ(DirectDrawCreate(nullptr, direct_draw.Receive(), nullptr), DD_OK);
  if (!direct_draw) return {};
  ComPtr<IDirectDraw2> direct_draw2;
  EXPECT_EQ(direct_draw.As(IID_IDirectDraw2, &direct_draw2), S_OK);
  if (!direct_draw2) return {};
  DDSCAPS memory = {caps};
  DWORD total = 0, free_bytes = 0;
  EXPECT_EQ(direct_draw2->GetAvailableVidMem(&memory, &total, &free_bytes), DD_OK);
  char line[32];
  snprintf(line, sizeof(line), "%.1f MB\n", total / 1048576.0);
  return Widen(line);
}

TEST_F(GraphicsReports, VideoMemoryIsWhatDirectDrawReports) {
  const std::wstring local = VideoMemoryLine(DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
  const std::wstring all = VideoMemoryLine(DDSCAPS_VIDEOMEMORY);
  ASSERT_NE(local, L"0.0 MB\n");
  EXPECT_EQ(Report(IdOf(L"GetVRAMInfo")), local);
  EXPECT_EQ(Report(IdOf(L"GetALLVRAMInfo")), all);
}

}  // namespace
}  // namespace orvanta::testing
