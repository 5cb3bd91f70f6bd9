// A stand-in module that the survey tool's tests load with --ocx: the real
// control, wrapped so that methods fail in the ways a control on a fleet
// may. Always: GetMemoryInfo fails with an out-of-memory exception and
// GetCPUCount as an unknown member. ORVANTA_FAULTS adds faults, as
// "kind:Method" items separated by commas, Method "creation" for the
// control's creation:
//   hang     the call never returns
//   crash    the call dies of an access violation
//   stray    the call writes 20 bytes to standard output, then answers
//   odd      the call answers ESC, NUL, a lone CR and a lone surrogate
//   console  the call answers whether its process has a console window and
//            whether the system's crash dialog is off
#include <cstdlib>
#include <string>

#include "framework/dispatch.h"
#include "tests/com/method_contract.h"
#include "tests/wrapped_control.h"

namespace orvanta {
namespace {

// The fault that ORVANTA_FAULTS plants on method |id|, or an empty text.
std::wstring FaultOf(DISPID id) {
  const wchar_t* faults = _wgetenv(L"ORVANTA_FAULTS");
  std::wstring list = faults ? std::wstring(faults) + L"," : L"";
  for (size_t start = 0, comma; (comma = list.find(L',', start)) != std::wstring::npos; start = comma + 1) {
    const std::wstring item = list.substr(start, comma - start);
    const size_t colon = item.find(L':');
    if (id == DISPID_UNKNOWN && colon != std::wstring::npos && item.substr(colon + 1) == L"creation") {
      return item.substr(0, colon);
    }
    for (const testing::ContractMethod& method : testing::kContractMethods) {
      if (colon != std::wstring::npos && method.id == id && item.substr(colon + 1) == method.name) {
        return item.substr(0, colon);
      }
    }
  }
  return L"";
}

void Answer(VARIANT* answer, const std::wstring& text) {
  if (!answer) return;
  VariantInit(answer);
  V_VT(answer) = VT_BSTR;
  V_BSTR(answer) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

bool Fail(DISPID id, VARIANT* answer, EXCEPINFO* info, HRESULT* hr) {
  if (id == testing::IdOf(L"GetMemoryInfo")) {
    FillExcepInfo(info, E_OUTOFMEMORY, L"FailingControl");
    *hr = DISP_E_EXCEPTION;
    return true;
  }
  if (id == testing::IdOf(L"GetCPUCount")) {
    *hr = DISP_E_MEMBERNOTFOUND;
    return true;
  }
  const std::wstring fault = FaultOf(id);
  *hr = S_OK;
  if (fault == L"hang") {
    Sleep(INFINITE);
  } else if (fault == L"crash") {
    *static_cast<volatile int*>(nullptr) = 1;
  } else if (fault == L"stray") {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "stray bytes, twenty", 20, &written, nullptr);
  } else if (fault == L"odd") {
    Answer(answer, std::wstring(L"esc\x1b[31m nul") + L'\0' + L" cr\r lone\xD800 end");
    return true;
  } else if (fault == L"console") {
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    Answer(answer, std::wstring(GetConsoleWindow() ? L"console window" : L"no console window") +
                       ((mode & SEM_NOGPFAULTERRORBOX) ? L", crash dialog off" : L", crash dialog on"));
    return true;
  }
  return false;
}

}  // namespace

const InvokeHook kWrapperHook = Fail;

}  // namespace orvanta
