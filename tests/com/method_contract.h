// The 31 methods of _DOrvanta as the control's clients know them, written out
// here rather than read from the control's own table, so that a changed
// identifier, name or result type fails the tests. The type library's name is
// the one scripts call; two methods answer to another name in the dispatch
// table (locale 0). The rows stand in the type library's order.
#pragma once

#include <windows.h>

#include <string_view>

namespace orvanta::testing {

struct ContractMethod {
  DISPID id;
  const wchar_t* name;           // in the type library
  const wchar_t* dispatch_name;  // in the dispatch table
  VARTYPE result;                // VT_VOID for none
};

inline constexpr ContractMethod kContractMethods[] = {
    {1, L"GetOSInfo", L"GetOSInfo", VT_BSTR},
    {2, L"GetCPUInfo", L"GetCPUInfo", VT_BSTR},
    {3, L"GetMemoryInfo", L"GetMemoryInfo", VT_BSTR},
    {4, L"GetDriverInfo", L"GetDriverInfo", VT_BSTR},
    {5, L"GetVRAMInfo", L"GetVRAMInfo", VT_BSTR},
    {6, L"GetDirectXInfo", L"GetDirectXInfo", VT_BSTR},
    {7, L"GetVideocardNameInfo", L"GetVideocardNameInfo", VT_BSTR},
    {8, L"GetDriveInfo", L"GetDriveInfo", VT_BSTR},
    {9, L"GetSoundcardNameInfo", L"GetSoundcardInfo", VT_BSTR},
    {10, L"GetDisplayModeList", L"GetDisplayModeList", VT_BSTR},
    {11, L"GetMediaInfo", L"GetMediaInfo", VT_BSTR},
    {12, L"GetNetInfo", L"GetNetInfo", VT_BSTR},
    {13, L"GetModemInfo", L"GetModemInfo", VT_BSTR},
    {14, L"GetCDROMInfo", L"GetCDROMInfo", VT_BSTR},
    {15, L"GetNowDisplayMode", L"GetNowDisplayMode", VT_BSTR},
    {16, L"GetCPUFrequency", L"GetCPUFrequency", VT_BSTR},
    {17, L"GetCPUNameInfo", L"GetCPUNameInfo", VT_BSTR},
    {18, L"IsInstall", L"IsInstall", VT_I2},
    {19, L"GetSamplingFrequency", L"GetSamplingFrequencyInfo", VT_BSTR},
    {20, L"GetSystemDriveInfo", L"GetSystemDriveInfo", VT_BSTR},
    {21, L"GetSystemModelInfo", L"GetSystemModelInfo", VT_BSTR},
    {22, L"GetALLVRAMInfo", L"GetALLVRAMInfo", VT_BSTR},
    {23, L"GetVRAMbyRegInfo", L"GetVRAMbyRegInfo", VT_BSTR},
    {24, L"GetVideoDriverInfo", L"GetVideoDriverInfo", VT_BSTR},
    {25, L"GetVertexShaderVersion", L"GetVertexShaderVersion", VT_BSTR},
    {26, L"GetPixelShaderVersion", L"GetPixelShaderVersion", VT_BSTR},
    {27, L"GetCPUCount", L"GetCPUCount", VT_BSTR},
    {28, L"GetUnifiedShaderVersion", L"GetUnifiedShaderVersion", VT_BSTR},
    {29, L"GetCPUPhysicalCount", L"GetCPUPhysicalCount", VT_BSTR},
    {30, L"GetSecuritySoftInfo", L"GetSecuritySoftInfo", VT_BSTR},
    {-552, L"AboutBox", L"AboutBox", VT_VOID},
};

// The identifier of the method that the type library calls |name|; a name
// outside the contract does not compile.
consteval DISPID IdOf(std::wstring_view name) {
  for (const ContractMethod& method : kContractMethods) {
    if (name == method.name) return method.id;
  }
  throw "not a method of _DOrvanta";
}

}  // namespace orvanta::testing
