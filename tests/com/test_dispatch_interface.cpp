// The control's IDispatch and the interfaces that describe it, through COM.
#include <gtest/gtest.h>
#include <olectl.h>

#include <atomic>

#include "control/orvanta_idl.h"
#include "framework/com_object.h"
#include "framework/scoped_bstr.h"
#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

constexpr LCID kNeutral = 0;
constexpr LCID kEnglishUS = 0x0409;

HRESULT LookUp(IDispatch* control, const wchar_t* name, LCID lcid, DISPID* id) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  return control->GetIDsOfNames(IID_NULL, names, 1, lcid, id);
}

class DispatchInterface : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  ComPtr<IDispatch> control_;
};

TEST_F(DispatchInterface, LooksNamesUpInTheTableWithLocaleZero) {
  for (const ContractMethod& method : kContractMethods) {
    DISPID id = 0;
    EXPECT_EQ(LookUp(control_.Get(), method.dispatch_name, kNeutral, &id), S_OK) << method.id;
    EXPECT_EQ(id, method.id);
  }
  DISPID id = 0;
  EXPECT_EQ(LookUp(control_.Get(), L"GetSoundcardNameInfo", kNeutral, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(LookUp(control_.Get(), L"GetSamplingFrequency", kNeutral, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(LookUp(control_.Get(), L"NoSuchMethod", kNeutral, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchInterface, LooksNamesUpInTheTypeLibraryWithALocale) {
  for (const ContractMethod& method : kContractMethods) {
    DISPID id = 0;
    EXPECT_EQ(LookUp(control_.Get(), method.name, kEnglishUS, &id), S_OK) << method.id;
    EXPECT_EQ(id, method.id);
  }
  DISPID id = 0;
  EXPECT_EQ(LookUp(control_.Get(), L"GetSoundcardNameInfo", kEnglishUS, &id), S_OK);
  EXPECT_EQ(id, 9);
  EXPECT_EQ(LookUp(control_.Get(), L"GetSoundcardInfo", kEnglishUS, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(LookUp(control_.Get(), L"GetSamplingFrequency", kEnglishUS, &id), S_OK);
  EXPECT_EQ(id, 19);
  EXPECT_EQ(LookUp(control_.Get(), L"GetSamplingFrequencyInfo", kEnglishUS, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchInterface, IgnoresLetterCaseInBothLookups) {
  for (LCID lcid : {kNeutral, kEnglishUS}) {
    for (const wchar_t* name : {L"getcpuinfo", L"GETCPUINFO", L"gEtCpUiNfO"}) {
      DISPID id = 0;
      EXPECT_EQ(LookUp(control_.Get(), name, lcid, &id), S_OK) << lcid;
      EXPECT_EQ(id, 2);
    }
  }
}

TEST_F(DispatchInterface, GivesArgumentNamesNoIdentifier) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetDriveInfo"), const_cast<LPOLESTR>(L"Drive")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, names, 2, kNeutral, ids), S_OK);
  EXPECT_EQ(ids[0], 8);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(DispatchInterface, RejectsMalformedLookups) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetDriveInfo")};
  EXPECT_EQ(control_->GetIDsOfNames(IID_IDispatch, names, 1, kNeutral, &id), DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, nullptr, 1, kNeutral, &id), E_POINTER);
  EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, names, 1, kNeutral, nullptr), E_POINTER);
  EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, names, 0, kNeutral, &id), E_INVALIDARG);
}

// Closes the About box once it appears, from a thread of its own.
class AboutBoxCloser {
 public:
  AboutBoxCloser() : thread_(CreateThread(nullptr, 0, &AboutBoxCloser::Watch, this, 0, nullptr)) {}
  ~AboutBoxCloser() {
    stop_ = true;
    if (thread_) {
      WaitForSingleObject(thread_, INFINITE);
      CloseHandle(thread_);
    }
  }
  AboutBoxCloser(const AboutBoxCloser&) = delete;
  AboutBoxCloser& operator=(const AboutBoxCloser&) = delete;
  bool found() const { return found_; }

 private:
  static DWORD WINAPI Watch(void* self) {
    auto* closer = static_cast<AboutBoxCloser*>(self);
    for (int attempt = 0; attempt < 500 && !closer->stop_; ++attempt) {
      if (HWND dialog = FindWindowW(nullptr, L"About Pelmora Control")) {
        closer->found_ = true;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
      }
      Sleep(20);
    }
    return 0;
  }

  std::atomic<bool> stop_{false};
  std::atomic<bool> found_{false};
  HANDLE thread_;
};

TEST_F(DispatchInterface, AnswersEveryIdentifierWithItsType) {
  for (const ContractMethod& method : kContractMethods) {
    std::unique_ptr<AboutBoxCloser> closer;
    if (method.id == DISPID_ABOUTBOX) closer = std::make_unique<AboutBoxCloser>();
    ScopedVariant result;
    ASSERT_EQ(InvokeMethod(control_.Get(), method.id, result.Receive()), S_OK) << method.id;
    EXPECT_EQ(result.Type(), method.result == VT_VOID ? VARTYPE{VT_EMPTY} : method.result) << method.id;
    if (method.result == VT_BSTR) {
      EXPECT_NE(V_BSTR(&result.Get()), nullptr) << method.id;
    }
  }
}

TEST_F(DispatchInterface, ShowsTheAboutBoxUntilItIsClosed) {
  AboutBoxCloser closer;
  ScopedVariant result;
  EXPECT_EQ(InvokeMethod(control_.Get(), DISPID_ABOUTBOX, result.Receive()), S_OK);
  EXPECT_EQ(result.Type(), VT_EMPTY);
  EXPECT_TRUE(closer.found());
}

TEST_F(DispatchInterface, IsInstallAnswersTheShortOne) {
  for (WORD flags : {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_METHOD | DISPATCH_PROPERTYGET}) {
    ScopedVariant result;
    ASSERT_EQ(InvokeMethod(control_.Get(), IdOf(L"IsInstall"), result.Receive(), flags), S_OK);
    EXPECT_EQ(result.Type(), VT_I2);
    EXPECT_EQ(V_I2(&result.Get()), 1);
  }
}

TEST_F(DispatchInterface, AnswersAnEmptyReportWithAnEmptyString) {
  // The Wine machine has no modem: its report is empty.
  ScopedVariant result;
  ASSERT_EQ(InvokeMethod(control_.Get(), 13, result.Receive()), S_OK);
  ASSERT_EQ(result.Type(), VT_BSTR);
  ASSERT_NE(V_BSTR(&result.Get()), nullptr);
  EXPECT_EQ(SysStringLen(V_BSTR(&result.Get())), 0u);
}

TEST_F(DispatchInterface, AnswersBadCallsWithTheirCodes) {
  ScopedVariant result;
  DISPPARAMS none = {};
  EXPECT_EQ(InvokeMethod(control_.Get(), 31, result.Receive()), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(InvokeMethod(control_.Get(), 0, result.Receive()), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(InvokeMethod(control_.Get(), DISPID_UNKNOWN, result.Receive()), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(control_->Invoke(3, IID_IDispatch, 0, DISPATCH_METHOD, &none, result.Receive(), nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  // Methods cannot be assigned, nor called without saying how.
  EXPECT_EQ(InvokeMethod(control_.Get(), 3, result.Receive(), DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(InvokeMethod(control_.Get(), 3, result.Receive(), DISPATCH_PROPERTYPUTREF), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(InvokeMethod(control_.Get(), 3, result.Receive(), DISPATCH_METHOD | DISPATCH_PROPERTYPUT),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(InvokeMethod(control_.Get(), 3, result.Receive(), 0), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(result.Type(), VT_EMPTY);

  // No method takes arguments.
  VARIANT argument;
  VariantInit(&argument);
  V_VT(&argument) = VT_I4;
  V_I4(&argument) = 1;
  DISPPARAMS one = {&argument, nullptr, 1, 0};
  EXPECT_EQ(control_->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &one, result.Receive(), nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPID named = 0;
  DISPPARAMS named_only = {nullptr, &named, 0, 1};
  EXPECT_EQ(control_->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &named_only, result.Receive(), nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  EXPECT_EQ(control_->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, nullptr, result.Receive(), nullptr, nullptr),
            E_INVALIDARG);
  EXPECT_EQ(result.Type(), VT_EMPTY);
}

TEST_F(DispatchInterface, RunsAMethodWhoseResultIsNotWanted) {
  DISPPARAMS none = {};
  EXPECT_EQ(control_->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(control_->Invoke(IdOf(L"IsInstall"), IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            S_OK);
}

TEST_F(DispatchInterface, DescribesItselfThroughTheTypeLibrary) {
  UINT count = 0;
  EXPECT_EQ(control_->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(control_->GetTypeInfo(0, kEnglishUS, info.Receive()), S_OK);
  ScopedBstr name;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.Receive(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.View(), L"_DOrvanta");
  EXPECT_EQ(control_->GetTypeInfo(1, kEnglishUS, info.Receive()), DISP_E_BADINDEX);
  EXPECT_EQ(control_->GetTypeInfoCount(nullptr), E_POINTER);

  ComPtr<IDispatch> by_interface;
  EXPECT_EQ(control_.As(DIID__DOrvanta, &by_interface), S_OK);
  EXPECT_EQ(by_interface.Get(), control_.Get());
}

TEST_F(DispatchInterface, ProvidesItsClassInformation) {
  ComPtr<IProvideClassInfo2> class_info;
  ASSERT_EQ(control_.As(IID_IProvideClassInfo2, &class_info), S_OK);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(class_info->GetClassInfo(info.Receive()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_Orvanta));
  info->ReleaseTypeAttr(attr);

  GUID source = GUID_NULL;
  EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, DIID__DOrvantaEvents));
  EXPECT_EQ(class_info->GetGUID(2, &source), E_INVALIDARG);
  EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);
}

// An event sink for the control's (empty) event interface.
class EventSink : public ComObject<EventSink, IDispatch> {
 public:
  static std::span<const InterfaceEntry> InterfaceMap() {
    static constexpr InterfaceEntry kMap[] = {
        {&IID_IUnknown, CastTo<EventSink, IDispatch>},
        {&IID_IDispatch, CastTo<EventSink, IDispatch>},
        {&DIID__DOrvantaEvents, CastTo<EventSink, IDispatch>},
    };
    return kMap;
  }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    ++calls;
    return S_OK;
  }
  int calls = 0;
};

TEST_F(DispatchInterface, OffersItsEventInterfaceAndPropertyNotifications) {
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(control_.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IConnectionPoint> point, notify;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.Receive()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, notify.Receive()), S_OK);
  ASSERT_EQ(container->FindConnectionPoint(DIID__DOrvantaEvents, point.Receive()), S_OK);
  IID iid = IID_NULL;
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(IsEqualIID(iid, DIID__DOrvantaEvents));
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(point->GetConnectionPointContainer(back.Receive()), S_OK);
  EXPECT_EQ(back.Get(), container.Get());

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.Receive()), S_OK);
  IConnectionPoint* listed[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(3, listed, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(listed[0], point.Get());
  EXPECT_EQ(listed[1], notify.Get());
  listed[0]->Release();
  listed[1]->Release();
}

TEST_F(DispatchInterface, ConnectsSinksOfTheEventInterfaceOnly) {
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(control_.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(DIID__DOrvantaEvents, point.Receive()), S_OK);

  ComPtr<EventSink> sink(new EventSink);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
  EXPECT_NE(cookie, 0u);

  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.Receive()), S_OK);
  CONNECTDATA data = {};
  ASSERT_EQ(connections->Next(1, &data, nullptr), S_OK);
  EXPECT_EQ(data.dwCookie, cookie);
  data.pUnk->Release();

  // The control fires nothing, even while a report runs.
  ScopedVariant result;
  EXPECT_EQ(InvokeMethod(control_.Get(), 8, result.Receive()), S_OK);
  EXPECT_EQ(sink->calls, 0);

  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);

  // An object that is not an event sink cannot connect.
  ComPtr<IUnknown> not_a_sink;
  ASSERT_EQ(control_.As(IID_IUnknown, &not_a_sink), S_OK);
  EXPECT_EQ(point->Advise(not_a_sink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
}

}  // namespace
}  // namespace orvanta::testing
