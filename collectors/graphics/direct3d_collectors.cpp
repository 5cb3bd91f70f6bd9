// CUserOrvanta::GetVertexShaderVersion, GetPixelShaderVersion,
// GetUnifiedShaderVersion and GetVideoDriverInfo over the machine's Direct3D
// runtimes.
#include "collectors/graphics/direct3d.h"
#include "collectors/user_orvanta.h"

namespace orvanta {

void CUserOrvanta::GetVertexShaderVersion(CString& report) {
  LiveDirect3DRuntimes runtimes;
  WriteShaderVersionReport(report, ShaderKind::kVertex, runtimes);
}

void CUserOrvanta::GetPixelShaderVersion(CString& report) {
  LiveDirect3DRuntimes runtimes;
  WriteShaderVersionReport(report, ShaderKind::kPixel, runtimes);
}

void CUserOrvanta::GetUnifiedShaderVersion(CString& report) {
  LiveDirect3DRuntimes runtimes;
  WriteUnifiedShaderReport(report, runtimes);
}

void CUserOrvanta::GetVideoDriverInfo(CString& report) {
  LiveDirect3DRuntimes runtimes;
  WriteVideoDriverReport(report, runtimes);
}

}  // namespace orvanta
