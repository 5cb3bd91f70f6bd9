#include "control/dispatch_table.h"

#include <olectl.h>

namespace orvanta {

// Rows without a collector are answered by the control itself: identifiers 1
// and 30 from the process's WMI report cache, 18 and -552 (COrvantaCtrl).
const std::array<OrvantaMethod, 31> kOrvantaMethods = {{
    {1, L"GetOSInfo", L"GetOSInfo", VT_BSTR, nullptr},
    {2, L"GetCPUInfo", L"GetCPUInfo", VT_BSTR, &CUserOrvanta::GetCPUInfo},
    {3, L"GetMemoryInfo", L"GetMemoryInfo", VT_BSTR, &CUserOrvanta::GetMemoryInfo},
    {4, L"GetDriverInfo", L"GetDriverInfo", VT_BSTR, &CUserOrvanta::GetDriverInfo},
    {5, L"GetVRAMInfo", L"GetVRAMInfo", VT_BSTR, &CUserOrvanta::GetVRAMInfo},
    {6, L"GetDirectXInfo", L"GetDirectXInfo", VT_BSTR, &CUserOrvanta::GetDirectXInfo},
    {7, L"GetVideocardNameInfo", L"GetVideocardNameInfo", VT_BSTR, &CUserOrvanta::GetVideocardNameInfo},
    {8, L"GetDriveInfo", L"GetDriveInfo", VT_BSTR, &CUserOrvanta::GetDriveInfo},
    {9, L"GetSoundcardNameInfo", L"GetSoundcardInfo", VT_BSTR, &CUserOrvanta::GetSoundcardInfo},
    {10, L"GetDisplayModeList", L"GetDisplayModeList", VT_BSTR, &CUserOrvanta::GetDisplayModeList},
    {11, L"GetMediaInfo", L"GetMediaInfo", VT_BSTR, &CUserOrvanta::GetMediaInfo},
    {12, L"GetNetInfo", L"GetNetInfo", VT_BSTR, &CUserOrvanta::GetNetInfo},
    {13, L"GetModemInfo", L"GetModemInfo", VT_BSTR, &CUserOrvanta::GetModemInfo},
    {14, L"GetCDROMInfo", L"GetCDROMInfo", VT_BSTR, &CUserOrvanta::GetCDROMInfo},
    {15, L"GetNowDisplayMode", L"GetNowDisplayMode", VT_BSTR, &CUserOrvanta::GetNowDisplayMode},
    {16, L"GetCPUFrequency", L"GetCPUFrequency", VT_BSTR, &CUserOrvanta::GetCPUFrequency},
    {17, L"GetCPUNameInfo", L"GetCPUNameInfo", VT_BSTR, &CUserOrvanta::GetCPUNameInfo},
    {kDispidIsInstall, L"IsInstall", L"IsInstall", VT_I2, nullptr},
    {19, L"GetSamplingFrequency", L"GetSamplingFrequencyInfo", VT_BSTR, &CUserOrvanta::GetSamplingFrequencyInfo},
    {20, L"GetSystemDriveInfo", L"GetSystemDriveInfo", VT_BSTR, &CUserOrvanta::GetSystemDriveInfo},
    {21, L"GetSystemModelInfo", L"GetSystemModelInfo", VT_BSTR, &CUserOrvanta::GetSystemModelInfo},
    {22, L"GetALLVRAMInfo", L"GetALLVRAMInfo", VT_BSTR, &CUserOrvanta::GetALLVRAMInfo},
    {23, L"GetVRAMbyRegInfo", L"GetVRAMbyRegInfo", VT_BSTR, &CUserOrvanta::GetVRAMbyRegInfo},
    {24, L"GetVideoDriverInfo", L"GetVideoDriverInfo", VT_BSTR, &CUserOrvanta::GetVideoDriverInfo},
    {25, L"GetVertexShaderVersion", L"GetVertexShaderVersion", VT_BSTR, &CUserOrvanta::GetVertexShaderVersion},
    {26, L"GetPixelShaderVersion", L"GetPixelShaderVersion", VT_BSTR, &CUserOrvanta::GetPixelShaderVersion},
    {27, L"GetCPUCount", L"GetCPUCount", VT_BSTR, &CUserOrvanta::GetCPUCount},
    {28, L"GetUnifiedShaderVersion", L"GetUnifiedShaderVersion", VT_BSTR, &CUserOrvanta::GetUnifiedShaderVersion},
    {29, L"GetCPUPhysicalCount", L"GetCPUPhysicalCount", VT_BSTR, &CUserOrvanta::GetCPUPhysicalCount},
    {30, L"GetSecuritySoftInfo", L"GetSecuritySoftInfo", VT_BSTR, nullptr},
    {DISPID_ABOUTBOX, L"AboutBox", L"AboutBox", VT_EMPTY, nullptr},
}};

}  // namespace orvanta
