// The DirectX, shader, display mode and video memory reports of this machine
// through COM, checked against what the test asks the same runtimes itself.
// The runtimes are loaded by name, as the control loads them, since a machine
// may lack any of them; the graphics matrix runs these tests under several of
// Wine's Direct3D settings and reads the answers that they record.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d10_1.h>
#include <d3d9.h>
#include <ddraw.h>
#include <dxdiag.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {

// From test_video_driver_report.cpp (Direct3D 8's headers cannot share a file
// with Direct3D 9's): "%d.%d(<runtime>)" of a shader version word, and what
// the shader reports say where Direct3D 9 gives no figure: Direct3D 8's, or
// nothing, or the sentence for a missing d3d8.dll.
std::wstring ShaderModel(DWORD word, const wchar_t* runtime);
std::wstring Direct3D8ShaderReport(bool vertex);

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
  std::wstring Report(DISPID id) { return CallRecordedReport(control_.Get(), id); }
  ComPtr<IDispatch> control_;
};

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

// One text property of the provider's "DxDiag_SystemInfo" container; nullopt
// when the provider or the property cannot be had.
std::optional<std::wstring> DxDiagSystemText(const wchar_t* name) {
  ComPtr<IDxDiagProvider> provider;
  ComPtr<IDxDiagContainer> root, system;
  DXDIAG_INIT_PARAMS params = {sizeof(params), DXDIAG_DX9_SDK_VERSION, FALSE, nullptr};
  ScopedVariant value;
  if (FAILED(CoCreateInstance(kDxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, kIDxDiagProvider,
                              provider.ReceiveVoid())) ||
      FAILED(provider->Initialize(&params)) || FAILED(provider->GetRootContainer(root.Receive())) ||
      FAILED(root->GetChildContainer(L"DxDiag_SystemInfo", system.Receive())) ||
      FAILED(system->GetProp(name, value.Receive())) || value.Type() != VT_BSTR)
    return std::nullopt;
  return std::wstring(V_BSTR(&value.Get()));
}

TEST_F(GraphicsReports, DirectXIsTheProvidersLongTextElseTheDirectXFilesRelease) {
  if (const std::optional<std::wstring> long_text = DxDiagSystemText(L"szDirectXVersionLongEnglish")) {
    ASSERT_FALSE(long_text->empty());
    EXPECT_EQ(Report(IdOf(L"GetDirectXInfo")), long_text->substr(0, 31) + L"\n");
    return;
  }
  // Without the provider, the files decide; d3d9.dll is the newest of them.
  wchar_t d3d9[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(d3d9, MAX_PATH - 10), 0u);
  ASSERT_GT(GetFileVersionInfoSizeW(std::wcscat(d3d9, L"\\d3d9.dll"), nullptr), 0u);
  EXPECT_EQ(Report(IdOf(L"GetDirectXInfo")), L"9.0\n");
}

// The default adapter's hardware device as Direct3D 9 describes it; nullopt
// without d3d9.dll, a Direct3D object or its capabilities.
std::optional<D3DCAPS9> Direct3D9HardwareCaps() {
  using Create9 = IDirect3D9*(WINAPI*)(UINT);
  ScopedLibrary runtime(L"d3d9.dll");
  auto create = runtime.Find<Create9>("Direct3DCreate9");
  ComPtr<IDirect3D9> direct3d(create ? create(D3D_SDK_VERSION) : nullptr);
  D3DCAPS9 caps = {};
  if (!direct3d || direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps) != D3D_OK) return std::nullopt;
  return caps;
}

TEST_F(GraphicsReports, ShadersAreTheHardwareDevicesModelsFromDirect3D9ElseDirect3D8) {
  const std::optional<D3DCAPS9> caps = Direct3D9HardwareCaps();
  EXPECT_EQ(Report(IdOf(L"GetVertexShaderVersion")),
            caps ? ShaderModel(caps->VertexShaderVersion, L"DirectX9") : Direct3D8ShaderReport(true));
  EXPECT_EQ(Report(IdOf(L"GetPixelShaderVersion")),
            caps ? ShaderModel(caps->PixelShaderVersion, L"DirectX9") : Direct3D8ShaderReport(false));
}

const wchar_t* const kDriverTypeNames[] = {L"HAL", L"REF", L"NULL", L"SOFT"};  // D3D10_DRIVER_TYPE 0 to 3

// The Direct3D 10.1 devices that can be made on the default adapter, one line
// each: driver types in order at level 10.1, then at 10.0.
std::wstring Direct3D10_1Lines() {
  using CreateDevice1 = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT, D3D10_FEATURE_LEVEL1,
                                         UINT, ID3D10Device1**);
  ScopedLibrary runtime(L"d3d10_1.dll");
  auto create = runtime.Find<CreateDevice1>("D3D10CreateDevice1");
  std::wstring lines;
  for (D3D10_FEATURE_LEVEL1 level : {D3D10_FEATURE_LEVEL_10_1, D3D10_FEATURE_LEVEL_10_0}) {
    for (int type = 0; create && type < 4; ++type) {
      ComPtr<ID3D10Device1> device;
      if (SUCCEEDED(create(nullptr, static_cast<D3D10_DRIVER_TYPE>(type), nullptr, 0, level, D3D10_1_SDK_VERSION,
                           device.Receive())))
        lines += std::wstring(L"4.1(DirectX10.1/") + kDriverTypeNames[type] +
                 (level == D3D10_FEATURE_LEVEL_10_1 ? L"_10_1)\n" : L"_10_0)\n");
    }
  }
  return lines;
}

// The same for Direct3D 10, one line per driver type.
std::wstring Direct3D10Lines() {
  using CreateDevice = HRESULT(WINAPI*)(IDXGIAdapter*, D3D10_DRIVER_TYPE, HMODULE, UINT, UINT, ID3D10Device**);
  ScopedLibrary runtime(L"d3d10.dll");
  auto create = runtime.Find<CreateDevice>("D3D10CreateDevice");
  std::wstring lines;
  for (int type = 0; create && type < 4; ++type) {
    ComPtr<ID3D10Device> device;
    if (SUCCEEDED(create(nullptr, static_cast<D3D10_DRIVER_TYPE>(type), nullptr, 0, D3D10_SDK_VERSION,
                         device.Receive())))
      lines += std::wstring(L"4.0(DirectX10/") + kDriverTypeNames[type] + L")\n";
  }
  return lines;
}

TEST_F(GraphicsReports, UnifiedListsTheDirect3D10_1ElseTheDirect3D10DevicesThatCanBeMade) {
  std::wstring expected = Direct3D10_1Lines();
  if (expected.empty()) {
    expected = Direct3D10Lines();
    if (!expected.empty()) expected.pop_back();  // Direct3D 10's last line has no line end
  }
  if (expected.empty()) expected = L"DirectX10 or subsequent ones is not installed";
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
