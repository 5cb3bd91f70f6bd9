// The shader, Direct3D level and video driver reports.
#include <array>

#include "collectors/graphics/direct3d.h"

namespace orvanta {
namespace {

struct DeviceAttempt {
  UINT driver_type;
  UINT feature_level;
  const wchar_t* line;
};

const std::array<DeviceAttempt, 8> kDirect3D10_1Attempts = {{
    {kDriverTypeHardware, kFeatureLevel10_1, L"4.1(DirectX10.1/HAL_10_1)\n"},
    {kDriverTypeReference, kFeatureLevel10_1, L"4.1(DirectX10.1/REF_10_1)\n"},
    {kDriverTypeNull, kFeatureLevel10_1, L"4.1(DirectX10.1/NULL_10_1)\n"},
    {kDriverTypeSoftware, kFeatureLevel10_1, L"4.1(DirectX10.1/SOFT_10_1)\n"},
    {kDriverTypeHardware, kFeatureLevel10_0, L"4.1(DirectX10.1/HAL_10_0)\n"},
    {kDriverTypeReference, kFeatureLevel10_0, L"4.1(DirectX10.1/REF_10_0)\n"},
    {kDriverTypeNull, kFeatureLevel10_0, L"4.1(DirectX10.1/NULL_10_0)\n"},
    {kDriverTypeSoftware, kFeatureLevel10_0, L"4.1(DirectX10.1/SOFT_10_0)\n"},
}};

const std::array<DeviceAttempt, 4> kDirect3D10Attempts = {{
    {kDriverTypeHardware, kFeatureLevel10_0, L"4.0(DirectX10/HAL)\n"},
    {kDriverTypeReference, kFeatureLevel10_0, L"4.0(DirectX10/REF)\n"},
    {kDriverTypeNull, kFeatureLevel10_0, L"4.0(DirectX10/NULL)\n"},
    {kDriverTypeSoftware, kFeatureLevel10_0, L"4.0(DirectX10/SOFT)\n"},
}};

DWORD WordOf(const ShaderVersionWords& words, ShaderKind kind) {
  return kind == ShaderKind::kVertex ? words.vertex : words.pixel;
}

template <size_t N>
void AppendCreatableDevices(CString& output, Direct3D10Runtime& runtime, const std::array<DeviceAttempt, N>& attempts) {
  for (const DeviceAttempt& attempt : attempts) {
    if (runtime.CanCreateDevice(attempt.driver_type, attempt.feature_level)) output += attempt.line;
  }
}

}  // namespace

CString ShaderVersionText(DWORD word, const wchar_t* runtime) {
  return FormatText(L"%d.%d(%s)", static_cast<int>((word >> 8) & 0xFF), static_cast<int>(word & 0xFF), runtime);
}

bool ProbeD3D9ShaderVersion(CString& output, ShaderKind kind, Direct3DRuntimes& runtimes) {
  if (std::unique_ptr<Direct3DRuntime> direct3d9 = runtimes.LoadDirect3D9()) {
    if (std::optional<ShaderVersionWords> words = direct3d9->HardwareShaderVersions())
      output = ShaderVersionText(WordOf(*words, kind), L"DirectX9");
  }
  return !output.empty();
}

bool ProbeD3D10_1Devices(CString& output, Direct3DRuntimes& runtimes) {
  std::unique_ptr<Direct3D10Runtime> runtime = runtimes.LoadDirect3D10_1();
  if (!runtime) return false;
  AppendCreatableDevices(output, *runtime, kDirect3D10_1Attempts);
  return !output.empty();
}

bool ProbeD3D10Devices(CString& output, Direct3DRuntimes& runtimes) {
  std::unique_ptr<Direct3D10Runtime> runtime = runtimes.LoadDirect3D10();
  if (!runtime) return false;
  AppendCreatableDevices(output, *runtime, kDirect3D10Attempts);
  while (!output.empty() && IsWhiteSpace(output.back())) output.pop_back();
  return !output.empty();
}

void WriteShaderVersionReport(CString& report, ShaderKind kind, Direct3DRuntimes& runtimes) {
  if (ProbeD3D9ShaderVersion(report, kind, runtimes)) return;
  std::unique_ptr<Direct3D8Runtime> direct3d8 = runtimes.LoadDirect3D8();
  if (!direct3d8) {
    report = kNoDirectX8;
    return;
  }
  if (std::optional<ShaderVersionWords> words = direct3d8->HardwareShaderVersions())
    report = ShaderVersionText(WordOf(*words, kind), L"DirectX8");
}

void WriteUnifiedShaderReport(CString& report, Direct3DRuntimes& runtimes) {
  if (ProbeD3D10_1Devices(report, runtimes)) return;
  if (ProbeD3D10Devices(report, runtimes)) return;
  report = kNoDirectX10;
}

void WriteVideoDriverReport(CString& report, Direct3DRuntimes& runtimes) {
  std::unique_ptr<Direct3D8Runtime> direct3d8 = runtimes.LoadDirect3D8();
  if (!direct3d8) {
    report = kNoDirectX8;
    return;
  }
  std::optional<AdapterDriver> driver = direct3d8->DefaultAdapterDriver();
  if (!driver) return;
  const uint64_t parts = driver->version;  // four 16-bit parts, the first highest
  const CString version = FormatText(L"%d.%d.%d.%d", static_cast<int>((parts >> 48) & 0xFFFF),
                                     static_cast<int>((parts >> 32) & 0xFFFF), static_cast<int>((parts >> 16) & 0xFFFF),
                                     static_cast<int>(parts & 0xFFFF));
  report = FormatText(L"%s(%s)", driver->file.c_str(), version.c_str());
}

}  // namespace orvanta
