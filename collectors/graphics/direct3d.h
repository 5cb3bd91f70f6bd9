// The shader, Direct3D level and video driver reports, over the Direct3D
// runtimes as the reports find them: loaded by file name, possibly absent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "framework/report_text.h"

namespace orvanta {

enum class ShaderKind { kVertex, kPixel };

// The VertexShaderVersion and PixelShaderVersion words of a device's
// capabilities: major number in bits 8 to 15, minor in bits 0 to 7.
struct ShaderVersionWords {
  DWORD vertex = 0;
  DWORD pixel = 0;
};

// The display driver as Direct3D 8 names the default adapter's: its file name
// and its version (product and version in the upper half, sub-version and
// build in the lower, each as two 16-bit parts).
struct AdapterDriver {
  std::wstring file;
  uint64_t version = 0;
};

// Direct3D 8 or 9, loaded. Destroying it releases everything it made and
// unloads the library.
class Direct3DRuntime {
 public:
  virtual ~Direct3DRuntime() = default;
  // The shader words of the default adapter's hardware device; nullopt when
  // the runtime gives no Direct3D object or no capabilities.
  virtual std::optional<ShaderVersionWords> HardwareShaderVersions() = 0;
};

class Direct3D8Runtime : public Direct3DRuntime {
 public:
  // The default adapter's driver; nullopt when the runtime gives no Direct3D
  // object or no adapter identifier.
  virtual std::optional<AdapterDriver> DefaultAdapterDriver() = 0;
};

// Direct3D 10 types for device creation.
enum : UINT {
  kDriverTypeHardware = 0,
  kDriverTypeReference = 1,
  kDriverTypeNull = 2,
  kDriverTypeSoftware = 3,
};
enum : UINT {
  kFeatureLevel10_0 = 0xa000,
  kFeatureLevel10_1 = 0xa100,
};

// Direct3D 10 or 10.1, loaded.
class Direct3D10Runtime {
 public:
  virtual ~Direct3D10Runtime() = default;
  // Whether a device of |driver_type| (at |feature_level|, which Direct3D 10
  // ignores) can be created on the default adapter. The device is released
  // before this returns. False when the runtime lacks its entry point.
  virtual bool CanCreateDevice(UINT driver_type, UINT feature_level) = 0;
};

// The Direct3D runtimes of the machine; null when a library cannot be loaded.
class Direct3DRuntimes {
 public:
  virtual ~Direct3DRuntimes() = default;
  virtual std::unique_ptr<Direct3DRuntime> LoadDirect3D9() = 0;
  virtual std::unique_ptr<Direct3D8Runtime> LoadDirect3D8() = 0;
  virtual std::unique_ptr<Direct3D10Runtime> LoadDirect3D10_1() = 0;
  virtual std::unique_ptr<Direct3D10Runtime> LoadDirect3D10() = 0;
};

// The runtimes in the system's search path: d3d9.dll, d3d8.dll, d3d10_1.dll
// and d3d10.dll (each defined in its own file).
class LiveDirect3DRuntimes : public Direct3DRuntimes {
 public:
  std::unique_ptr<Direct3DRuntime> LoadDirect3D9() override;
  std::unique_ptr<Direct3D8Runtime> LoadDirect3D8() override;
  std::unique_ptr<Direct3D10Runtime> LoadDirect3D10_1() override;
  std::unique_ptr<Direct3D10Runtime> LoadDirect3D10() override;
};

inline constexpr wchar_t kNoDirectX8[] = L"DirectX8 or subsequent ones is not installed";
inline constexpr wchar_t kNoDirectX10[] = L"DirectX10 or subsequent ones is not installed";

// "%d.%d(<runtime>)" with bits 8 to 15 and 0 to 7 of |word|.
CString ShaderVersionText(DWORD word, const wchar_t* runtime);

// Sets |output| to the Direct3D 9 figure of |kind|; true when |output| is not
// empty afterwards.
bool ProbeD3D9ShaderVersion(CString& output, ShaderKind kind, Direct3DRuntimes& runtimes);
// Appends one line per Direct3D 10.1 device that can be created; the last
// keeps its line end. True when |output| is not empty afterwards.
bool ProbeD3D10_1Devices(CString& output, Direct3DRuntimes& runtimes);
// Appends one line per Direct3D 10 device that can be created, then drops
// trailing white space. True when |output| is not empty afterwards.
bool ProbeD3D10Devices(CString& output, Direct3DRuntimes& runtimes);

// The vertex or pixel shader report: Direct3D 9, else Direct3D 8, else
// kNoDirectX8.
void WriteShaderVersionReport(CString& report, ShaderKind kind, Direct3DRuntimes& runtimes);
// The Direct3D 10.1 devices, else the Direct3D 10 devices, else kNoDirectX10.
void WriteUnifiedShaderReport(CString& report, Direct3DRuntimes& runtimes);
// "<driver file>(a.b.c.d)" from Direct3D 8; kNoDirectX8 without it; empty
// when Direct3D 8 has no adapter identifier.
void WriteVideoDriverReport(CString& report, Direct3DRuntimes& runtimes);

}  // namespace orvanta
