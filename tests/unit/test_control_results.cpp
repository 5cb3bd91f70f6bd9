// How a call of the control ends when the copy of its answer for the caller
// cannot be allocated: the call fails with the out-of-memory code, the
// caller's slot stays empty, and nothing half-made is freed.
#include <gtest/gtest.h>

#include "control/orvanta_ctrl.h"
#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/dispatch.h"
#include "framework/scoped_variant.h"

namespace orvanta {
namespace {

BSTR WINAPI NoMemory(LPCSTR, UINT) { return nullptr; }

// For its life, no copy for a caller can be allocated.
class CopiesFail {
 public:
  CopiesFail() : previous_(SetResultStringAllocatorForTesting(NoMemory)) {}
  CopiesFail(const CopiesFail&) = delete;
  CopiesFail& operator=(const CopiesFail&) = delete;
  ~CopiesFail() { SetResultStringAllocatorForTesting(previous_); }

 private:
  ResultStringAllocator previous_;
};

HRESULT Call(IDispatch* control, DISPID id, VARIANT* result, EXCEPINFO* info) {
  DISPPARAMS none = {};
  return control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, result, info, nullptr);
}

TEST(ControlResults, AFailedCopyEndsTheCallAndLeavesTheSlotEmpty) {
  ComPtr<IDispatch> control;
  ASSERT_EQ(CreateComObject<COrvantaCtrl>(IID_IDispatch, control.ReceiveVoid()), S_OK);
  const struct {
    DISPID id;
    HRESULT result;
    HRESULT scode;  // in the exception information
  } cases[] = {
      {27, DISP_E_EXCEPTION, E_OUTOFMEMORY},  // a collector's report
      {1, E_OUTOFMEMORY, S_OK},               // the cached WMI texts
      {30, E_OUTOFMEMORY, S_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    VARIANT slot;
    V_VT(&slot) = VT_EMPTY;
    V_BSTR(&slot) = reinterpret_cast<BSTR>(static_cast<uintptr_t>(0xdeadbeef));  // what the caller's stack held
    EXCEPINFO info = {};
    {
      CopiesFail fail;
      EXPECT_EQ(Call(control.Get(), c.id, &slot, &info), c.result);
      // Without a slot the control's own must not free what was never made.
      EXPECT_EQ(Call(control.Get(), c.id, nullptr, nullptr), c.result);
    }
    EXPECT_EQ(V_VT(&slot), VT_EMPTY);
    EXPECT_EQ(info.scode, c.scode);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);

    ScopedVariant answer;
    EXPECT_EQ(Call(control.Get(), c.id, answer.Receive(), nullptr), S_OK) << "the next call answers";
    EXPECT_EQ(answer.Type(), VT_BSTR);
  }
}

}  // namespace
}  // namespace orvanta
