// The dispatch machinery: name comparison, the table lookups, and what Invoke
// and the other entry points answer when a call throws.
#include <gtest/gtest.h>
#include <olectl.h>

#include <stdexcept>

#include "control/dispatch_table.h"
#include "framework/dispatch.h"
#include "framework/scoped_bstr.h"

namespace orvanta {
namespace {

TEST(DispatchNames, IgnoreLetterCase) {
  EXPECT_TRUE(DispatchNamesEqual(L"GetCPUInfo", L"getcpuinfo"));
  EXPECT_TRUE(DispatchNamesEqual(L"GetCPUInfo", L"GETCPUINFO"));
  EXPECT_TRUE(DispatchNamesEqual(L"GetCPUInfo", L"gEtCpUiNfO"));
  EXPECT_FALSE(DispatchNamesEqual(L"GetCPUInfo", L"GetCPUInfo2"));
  EXPECT_FALSE(DispatchNamesEqual(L"GetCPUInfo", L"GetCPUInf"));
  EXPECT_FALSE(DispatchNamesEqual(L"GetCPUInfo", L""));
}

TEST(DispatchTable, FindsTheControlsMethodsByTheirOwnNamesAndIdentifiers) {
  const OrvantaMethod* sound = FindByDispatchName(kOrvantaMethods, L"getsoundcardinfo");
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->id, 9);
  EXPECT_EQ(FindByDispatchName(kOrvantaMethods, L"GetSoundcardNameInfo"), nullptr) << "the type library's name";
  EXPECT_EQ(FindByDispatchId(kOrvantaMethods, DISPID_ABOUTBOX), &kOrvantaMethods.back());
  EXPECT_EQ(FindByDispatchId(kOrvantaMethods, 31), nullptr);
}

class ExcepInfoHolder {
 public:
  ExcepInfoHolder() = default;
  ~ExcepInfoHolder() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  EXCEPINFO info = {};
};

TEST(InvokeGuarded, ReturnsOkWhenTheCallReturns) {
  ExcepInfoHolder holder;
  bool called = false;
  EXPECT_EQ(InvokeGuarded(&holder.info, L"source", [&] { called = true; }), S_OK);
  EXPECT_TRUE(called);
  EXPECT_EQ(holder.info.scode, S_OK);
}

TEST(InvokeGuarded, ReturnsAnAutomationErrorsOwnCode) {
  ExcepInfoHolder holder;
  EXPECT_EQ(InvokeGuarded(&holder.info, L"source", [] { throw AutomationError(E_FAIL); }), E_FAIL);
  EXPECT_EQ(holder.info.bstrSource, nullptr);
}

TEST(InvokeGuarded, ReportsOutOfMemoryThroughTheExceptionInformation) {
  ExcepInfoHolder holder;
  EXPECT_EQ(InvokeGuarded(&holder.info, L"ORVANTA.OrvantaCtrl.1", [] { throw std::bad_alloc(); }),
            DISP_E_EXCEPTION);
  EXPECT_EQ(holder.info.scode, E_OUTOFMEMORY);
  EXPECT_STREQ(holder.info.bstrSource, L"ORVANTA.OrvantaCtrl.1");
  ASSERT_NE(holder.info.bstrDescription, nullptr);
  EXPECT_GT(SysStringLen(holder.info.bstrDescription), 0u);
  EXPECT_NE(holder.info.bstrDescription[SysStringLen(holder.info.bstrDescription) - 1], L'\n');
}

TEST(InvokeGuarded, ReportsOtherExceptionsAsUnexpected) {
  ExcepInfoHolder standard;
  EXPECT_EQ(InvokeGuarded(&standard.info, L"source", [] { throw std::runtime_error("x"); }), DISP_E_EXCEPTION);
  EXPECT_EQ(standard.info.scode, E_UNEXPECTED);
  ExcepInfoHolder other;
  EXPECT_EQ(InvokeGuarded(&other.info, L"source", [] { throw 42; }), DISP_E_EXCEPTION);
  EXPECT_EQ(other.info.scode, E_UNEXPECTED);
}

TEST(InvokeGuarded, NeedsNoExceptionInformation) {
  EXPECT_EQ(InvokeGuarded(nullptr, L"source", [] { throw std::bad_alloc(); }), DISP_E_EXCEPTION);
}

TEST(GuardedResult, EndsOtherEntryPointsWithTheSameCodes) {
  EXPECT_EQ(GuardedResult([] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(GuardedResult([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(GuardedResult([]() -> HRESULT { throw std::runtime_error("x"); }), E_UNEXPECTED);
}

TEST(ScopedBstr, KeepsTheExactLengthOfItsText) {
  ScopedBstr empty{std::wstring_view()};
  ASSERT_NE(empty.Get(), nullptr);
  EXPECT_EQ(empty.Length(), 0u);
  const wchar_t with_zero[] = {L'a', L'\0', L'b'};
  ScopedBstr text{std::wstring_view(with_zero, 3)};
  EXPECT_EQ(text.Length(), 3u);
  EXPECT_EQ(text.View(), std::wstring_view(with_zero, 3));
}

}  // namespace
}  // namespace orvanta
