// A stand-in module that the survey tool's test loads with --ocx: the real
// control, wrapped so that two methods fail (GetMemoryInfo with an
// out-of-memory exception, GetCPUCount as an unknown member). The tool must
// report every other method and those two as errors.
#include "framework/dispatch.h"
#include "tests/com/method_contract.h"
#include "tests/wrapped_control.h"

namespace orvanta {
namespace {

bool FailTwoMethods(DISPID id, EXCEPINFO* info, HRESULT* hr) {
  if (id == testing::IdOf(L"GetMemoryInfo")) {
    FillExcepInfo(info, E_OUTOFMEMORY, L"FailingControl");
    *hr = DISP_E_EXCEPTION;
    return true;
  }
  if (id == testing::IdOf(L"GetCPUCount")) {
    *hr = DISP_E_MEMBERNOTFOUND;
    return true;
  }
  return false;
}

}  // namespace

const InvokeHook kWrapperHook = FailTwoMethods;

}  // namespace orvanta
