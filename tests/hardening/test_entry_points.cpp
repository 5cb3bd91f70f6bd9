// Malformed calls on every COM entry point of the module: each is answered with
// its documented error code, leaves out-parameters empty, crashes nothing and
// leaves no object behind.
#include <gtest/gtest.h>
#include <olectl.h>

#include <climits>
#include <vector>

#include "control/orvanta_idl.h"
#include "framework/scoped_bstr.h"
#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

constexpr LCID kNeutral = 0;
constexpr LCID kEnglishUS = 0x0409;
// An interface that nothing in the module implements.
constexpr IID kUnknownIid = {0x6b1e2f3a, 0x90c4, 0x4d5e, {0x8a, 0x17, 0x2c, 0x3b, 0x4d, 0x5e, 0x6f, 0x70}};
constexpr CLSID kUnknownClsid = {0x6b1e2f3b, 0x90c4, 0x4d5e, {0x8a, 0x17, 0x2c, 0x3b, 0x4d, 0x5e, 0x6f, 0x71}};

// A pointer value that a call must overwrite with null when it fails.
void* const kPoison = reinterpret_cast<void*>(static_cast<uintptr_t>(0xdeadbeef));

class EntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  ComPtr<IDispatch> control_;
};

TEST_F(EntryPoints, NameLookupRejectsNullAndMissingNames) {
  for (LCID lcid : {kNeutral, kEnglishUS}) {
    SCOPED_TRACE(lcid);
    LPOLESTR null_name[] = {nullptr};
    DISPID id = 0;
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, null_name, 1, lcid, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    LPOLESTR empty_name[] = {const_cast<LPOLESTR>(L"")};
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, empty_name, 1, lcid, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    // Null arrays and a zero count, in every combination.
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, nullptr, 1, lcid, &id), E_POINTER);
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, null_name, 1, lcid, nullptr), E_POINTER);
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, nullptr, 0, lcid, nullptr), E_POINTER);
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, empty_name, 0, lcid, &id), E_INVALIDARG);
    EXPECT_EQ(control_->GetIDsOfNames(kUnknownIid, empty_name, 1, lcid, &id), DISP_E_UNKNOWNINTERFACE);
  }
}

TEST_F(EntryPoints, NameLookupOfSeveralNamesMarksEveryUnknownOne) {
  for (LCID lcid : {kNeutral, kEnglishUS}) {
    SCOPED_TRACE(lcid);
    // A known method with argument names, some of them null.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetDriveInfo"), nullptr, const_cast<LPOLESTR>(L"Drive"), nullptr};
    DISPID ids[4] = {1, 1, 1, 1};
    const HRESULT hr = control_->GetIDsOfNames(IID_NULL, names, 4, lcid, ids);
    EXPECT_TRUE(hr == S_OK || hr == DISP_E_UNKNOWNNAME) << std::hex << hr;
    EXPECT_EQ(ids[0], 8);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(ids[i], DISPID_UNKNOWN) << i;

    // An unknown method name makes every identifier unknown.
    LPOLESTR unknown_first[] = {nullptr, const_cast<LPOLESTR>(L"GetDriveInfo")};
    DISPID two[2] = {1, 1};
    EXPECT_EQ(control_->GetIDsOfNames(IID_NULL, unknown_first, 2, lcid, two), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(two[0], DISPID_UNKNOWN);
    EXPECT_EQ(two[1], DISPID_UNKNOWN);
  }
}

TEST_F(EntryPoints, InvokeRejectsEveryIdentifierOutsideTheTable) {
  std::vector<DISPID> outside = {0, 31, 32, 100, -1, -2, -3, -4, -5, -551, -553, INT_MAX, INT_MIN};
  for (DISPID id : outside) {
    ScopedVariant result;
    EXCEPINFO info = {};
    UINT arg_error = 7;
    DISPPARAMS none = {};
    EXPECT_EQ(control_->Invoke(id, IID_NULL, kNeutral, DISPATCH_METHOD, &none, result.Receive(), &info,
                               &arg_error),
              DISP_E_MEMBERNOTFOUND)
        << id;
    EXPECT_EQ(result.Type(), VT_EMPTY) << id;
    EXPECT_EQ(info.bstrDescription, nullptr) << id;
  }
}

TEST_F(EntryPoints, InvokeRejectsMalformedCallsOfEveryMethod) {
  VARIANT arguments[3];
  for (VARIANT& argument : arguments) {
    VariantInit(&argument);
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = 1;
  }
  DISPID named_ids[2] = {DISPID_PROPERTYPUT, 0};
  struct MalformedCall {
    const char* what;
    WORD flags;
    DISPPARAMS params;
    bool null_params;
    HRESULT expected;
  };
  const MalformedCall calls[] = {
      {"assignment", DISPATCH_PROPERTYPUT, {arguments, named_ids, 1, 1}, false, DISP_E_MEMBERNOTFOUND},
      {"reference assignment", DISPATCH_PROPERTYPUTREF, {arguments, named_ids, 1, 1}, false,
       DISP_E_MEMBERNOTFOUND},
      {"no call kind", 0, {}, false, DISP_E_MEMBERNOTFOUND},
      {"every flag bit", 0xffff, {}, false, DISP_E_MEMBERNOTFOUND},
      {"unknown flag bits only", 0xfff0, {}, false, DISP_E_MEMBERNOTFOUND},
      {"null parameters", DISPATCH_METHOD, {}, true, E_INVALIDARG},
      {"one argument", DISPATCH_METHOD, {arguments, nullptr, 1, 0}, false, DISP_E_BADPARAMCOUNT},
      {"three arguments", DISPATCH_METHOD, {arguments, nullptr, 3, 0}, false, DISP_E_BADPARAMCOUNT},
      {"a count without an array", DISPATCH_METHOD, {nullptr, nullptr, 2, 0}, false, DISP_E_BADPARAMCOUNT},
      {"a named argument", DISPATCH_METHOD, {arguments, named_ids, 1, 1}, false, DISP_E_BADPARAMCOUNT},
      {"a named count without arguments", DISPATCH_METHOD, {nullptr, named_ids, 0, 2}, false,
       DISP_E_NONAMEDARGS},
      {"a named count without names", DISPATCH_PROPERTYGET, {nullptr, nullptr, 0, 1}, false,
       DISP_E_NONAMEDARGS},
  };
  for (const ContractMethod& method : kContractMethods) {
    for (const MalformedCall& call : calls) {
      ScopedVariant result;
      DISPPARAMS params = call.params;
      EXCEPINFO info = {};
      UINT arg_error = 0;
      EXPECT_EQ(control_->Invoke(method.id, IID_NULL, kNeutral, call.flags, call.null_params ? nullptr : &params,
                                 result.Receive(), &info, &arg_error),
                call.expected)
          << method.id << ": " << call.what;
      EXPECT_EQ(result.Type(), VT_EMPTY) << method.id << ": " << call.what;
      EXPECT_EQ(info.bstrSource, nullptr) << method.id << ": " << call.what;
    }
    DISPPARAMS none = {};
    EXPECT_EQ(control_->Invoke(method.id, kUnknownIid, kNeutral, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE)
        << method.id;
  }
}

TEST_F(EntryPoints, TypeInformationRejectsBadIndexesAndSlots) {
  for (UINT index : {1u, 2u, 0x7fffffffu, UINT_MAX}) {
    ITypeInfo* info = static_cast<ITypeInfo*>(kPoison);
    EXPECT_EQ(control_->GetTypeInfo(index, kEnglishUS, &info), DISP_E_BADINDEX) << index;
    EXPECT_EQ(info, nullptr) << index;
  }
  EXPECT_EQ(control_->GetTypeInfo(0, kEnglishUS, nullptr), E_POINTER);
  EXPECT_EQ(control_->GetTypeInfo(1, kNeutral, nullptr), E_POINTER);
  EXPECT_EQ(control_->GetTypeInfoCount(nullptr), E_POINTER);

  ComPtr<IProvideClassInfo> class_info;
  ASSERT_EQ(control_.As(IID_IProvideClassInfo, &class_info), S_OK);
  EXPECT_EQ(class_info->GetClassInfo(nullptr), E_POINTER);
}

TEST_F(EntryPoints, QueryInterfaceRejectsUnknownInterfacesAndNullSlots) {
  void* out = kPoison;
  EXPECT_EQ(control_->QueryInterface(kUnknownIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(control_->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  EXPECT_EQ(control_->QueryInterface(DIID__DOrvanta, nullptr), E_POINTER);
}

TEST_F(EntryPoints, ConnectionPointsRejectMalformedCalls) {
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(control_.As(IID_IConnectionPointContainer, &container), S_OK);
  EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);
  EXPECT_EQ(container->FindConnectionPoint(DIID__DOrvantaEvents, nullptr), E_POINTER);
  IConnectionPoint* none = static_cast<IConnectionPoint*>(kPoison);
  EXPECT_EQ(container->FindConnectionPoint(kUnknownIid, &none), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(none, nullptr);

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.Receive()), S_OK);
  IConnectionPoint* listed[2] = {};
  EXPECT_EQ(points->Next(2, listed, nullptr), E_POINTER);
  EXPECT_EQ(points->Next(1, nullptr, nullptr), E_POINTER);
  // Two points (the event interface and IPropertyNotifySink): skipping three
  // runs past the end.
  EXPECT_EQ(points->Skip(3), S_FALSE);
  EXPECT_EQ(points->Next(1, listed, nullptr), S_FALSE);
  EXPECT_EQ(listed[0], nullptr);
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Clone(nullptr), E_POINTER);

  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(DIID__DOrvantaEvents, point.Receive()), S_OK);
  DWORD cookie = 5;
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(point->Advise(control_.Get(), nullptr), E_POINTER);
  for (DWORD stranger : {0ul, 1ul, 0xfffffffful}) EXPECT_EQ(point->Unadvise(stranger), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->GetConnectionInterface(nullptr), E_POINTER);
  EXPECT_EQ(point->GetConnectionPointContainer(nullptr), E_POINTER);
  EXPECT_EQ(point->EnumConnections(nullptr), E_POINTER);
  void* out = kPoison;
  EXPECT_EQ(point->QueryInterface(kUnknownIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

// Damaged saved state through COM: the stream persistence refuses it and the
// control stays usable. What each kind of damage answers is the decoder's test.
TEST_F(EntryPoints, PersistenceRefusesDamagedStreams) {
  ComPtr<IPersistStreamInit> persist;
  ASSERT_EQ(control_.As(IID_IPersistStreamInit, &persist), S_OK);
  ASSERT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(persist->Load(nullptr), E_POINTER);
  const std::vector<std::vector<BYTE>> damaged = {
      {}, {0x00}, {0x00, 0x00}, {0x00, 0x00, 0x01}, {0xff, 0xff, 0xff},
  };
  for (const std::vector<BYTE>& data : damaged) {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), S_OK);
    ULONG written = 0;
    if (!data.empty()) {
      ASSERT_EQ(stream->Write(data.data(), static_cast<ULONG>(data.size()), &written), S_OK);
    }
    ASSERT_EQ(stream->Seek({}, STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IPersistStreamInit> fresh;
    ComPtr<IDispatch> other = CreateControl();
    ASSERT_EQ(other.As(IID_IPersistStreamInit, &fresh), S_OK);
    EXPECT_TRUE(FAILED(fresh->Load(stream.Get()))) << data.size() << " bytes";
    ScopedVariant result;
    EXPECT_EQ(InvokeMethod(other.Get(), IdOf(L"IsInstall"), result.Receive()), S_OK);
  }
}

// The module's exported class objects.
class ClassObjects : public ::testing::Test {
 protected:
  OcxModule module_;
};

TEST_F(ClassObjects, GetClassObjectRejectsUnknownClassesAndSlots) {
  void* out = kPoison;
  EXPECT_EQ(module_.GetClassObject(kUnknownClsid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  out = kPoison;
  EXPECT_EQ(module_.GetClassObject(GUID_NULL, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(module_.GetClassObject(CLSID_Orvanta, IID_IClassFactory, nullptr), E_POINTER);
  out = kPoison;
  EXPECT_EQ(module_.GetClassObject(CLSID_Orvanta, kUnknownIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(module_.CanUnloadNow(), S_OK);
}

TEST_F(ClassObjects, FactoriesRefuseAggregationUnknownInterfacesAndNullSlots) {
  ComPtr<IUnknown> outer;
  ComPtr<IDispatch> some_control = CreateControl();
  ASSERT_EQ(some_control.As(IID_IUnknown, &outer), S_OK);

  for (const CLSID* clsid : {&CLSID_Orvanta, &CLSID_OrvantaPropPage}) {
    SCOPED_TRACE(GuidText(*clsid).c_str());
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(module_.GetClassObject(*clsid, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    void* out = kPoison;
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = kPoison;
    EXPECT_EQ(factory->CreateInstance(nullptr, kUnknownIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, nullptr), E_POINTER);
    out = kPoison;
    EXPECT_EQ(factory->QueryInterface(kUnknownIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER);
  }
}

}  // namespace
}  // namespace orvanta::testing
