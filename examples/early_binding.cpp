// A C++ client that binds early to the Pelmora Control: the class and
// interface identifiers come from the header and GUID file that widl
// generates from the control's type library source (no #import), and every
// method is invoked by its dispatch identifier, fixed at compile time, with no
// name lookup. Prints every report like survey.vbs and survey.js do.
//
//   early_binding.exe
#include <windows.h>

#include <stdio.h>

#include <string>

#include "control/orvanta_idl.h"
#include "framework/com_apartment.h"
#include "framework/com_ptr.h"
#include "framework/scoped_variant.h"

namespace {

// The methods of _DOrvanta with their identifiers, as the type library
// declares them (AboutBox, -552, is left out: it waits for a click).
struct Method {
  DISPID id;
  const wchar_t* name;
};
constexpr Method kMethods[] = {
    {1, L"GetOSInfo"},           {2, L"GetCPUInfo"},
    {3, L"GetMemoryInfo"},       {4, L"GetDriverInfo"},
    {5, L"GetVRAMInfo"},         {6, L"GetDirectXInfo"},
    {7, L"GetVideocardNameInfo"}, {8, L"GetDriveInfo"},
    {9, L"GetSoundcardNameInfo"}, {10, L"GetDisplayModeList"},
    {11, L"GetMediaInfo"},       {12, L"GetNetInfo"},
    {13, L"GetModemInfo"},       {14, L"GetCDROMInfo"},
    {15, L"GetNowDisplayMode"},  {16, L"GetCPUFrequency"},
    {17, L"GetCPUNameInfo"},     {18, L"IsInstall"},
    {19, L"GetSamplingFrequency"}, {20, L"GetSystemDriveInfo"},
    {21, L"GetSystemModelInfo"}, {22, L"GetALLVRAMInfo"},
    {23, L"GetVRAMbyRegInfo"},   {24, L"GetVideoDriverInfo"},
    {25, L"GetVertexShaderVersion"}, {26, L"GetPixelShaderVersion"},
    {27, L"GetCPUCount"},        {28, L"GetUnifiedShaderVersion"},
    {29, L"GetCPUPhysicalCount"}, {30, L"GetSecuritySoftInfo"},
};

// Prints |text| as UTF-8 without its last line feed.
void PrintText(const wchar_t* text, UINT length) {
  if (length > 0 && text[length - 1] == L'\n') --length;
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), bytes.data(), size, nullptr, nullptr);
  printf("%s\n", bytes.c_str());
}

}  // namespace

int main() {
  orvanta::ComApartment apartment(COINIT_APARTMENTTHREADED);
  if (!apartment.Initialized()) return 1;

  orvanta::ComPtr<IDispatch> control;
  HRESULT hr = CoCreateInstance(CLSID_Orvanta, nullptr, CLSCTX_INPROC_SERVER, DIID__DOrvanta, control.ReceiveVoid());
  if (FAILED(hr)) {
    fprintf(stderr, "early_binding: cannot create the Pelmora Control: 0x%08lX\n", static_cast<unsigned long>(hr));
    return hr == REGDB_E_CLASSNOTREG ? 2 : 1;
  }

  for (const Method& method : kMethods) {
    DISPPARAMS no_arguments = {};
    orvanta::ScopedVariant result;
    hr = control->Invoke(method.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no_arguments, result.Receive(),
                         nullptr, nullptr);
    if (FAILED(hr)) {
      fprintf(stderr, "early_binding: %ls failed: 0x%08lX\n", method.name, static_cast<unsigned long>(hr));
      return 1;
    }
    printf("== %ls\n", method.name);
    const VARIANT& value = result.Get();
    if (V_VT(&value) == VT_BSTR) {
      PrintText(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    } else if (V_VT(&value) == VT_I2) {
      printf("%d\n", V_I2(&value));
    } else {
      printf("(type %d)\n", V_VT(&value));
    }
  }
  printf("== Survey complete\n");
  return 0;
}
