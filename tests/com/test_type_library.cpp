// The registered type library, read back as a client reads it, against the
// methods that clients rely on.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "control/orvanta_idl.h"
#include "framework/scoped_bstr.h"
#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

// Type attributes, released with their type information.
class TypeAttr {
 public:
  explicit TypeAttr(ITypeInfo* info) : info_(info) { EXPECT_EQ(info->GetTypeAttr(&attr_), S_OK); }
  TypeAttr(const TypeAttr&) = delete;
  TypeAttr& operator=(const TypeAttr&) = delete;
  ~TypeAttr() {
    if (attr_) info_->ReleaseTypeAttr(attr_);
  }
  const TYPEATTR* operator->() const { return attr_; }

 private:
  ITypeInfo* info_;
  TYPEATTR* attr_ = nullptr;
};

// Every case reads the library as the registry names it.
class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LoadRegTypeLib(LIBID_ORVANTALib, 1, 0, 0x0409, library_.Receive()), S_OK); }

  ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library_->GetTypeInfoOfGuid(guid, info.Receive()), S_OK);
    return info;
  }

  ComPtr<ITypeLib> library_;
};

std::wstring HelpStringOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
  ScopedBstr help;
  EXPECT_EQ(info->GetDocumentation(id, nullptr, help.Receive(), nullptr, nullptr), S_OK);
  return std::wstring(help.View());
}

TEST_F(TypeLibrary, DescribesTheLibrary) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
  std::unique_ptr<TLIBATTR, std::function<void(TLIBATTR*)>> release(
      attr, [&](TLIBATTR* a) { library_->ReleaseTLibAttr(a); });
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_ORVANTALib));
  EXPECT_EQ(attr->lcid, 0x0409u);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
#ifdef _WIN64
  EXPECT_EQ(attr->syskind, SYS_WIN64);
#else
  EXPECT_EQ(attr->syskind, SYS_WIN32);
#endif
  // The loader adds that the library came from a file.
  EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, LIBFLAG_FCONTROL);

  ScopedBstr name, help_file;
  ASSERT_EQ(library_->GetDocumentation(-1, name.Receive(), nullptr, nullptr, help_file.Receive()), S_OK);
  EXPECT_EQ(name.View(), L"ORVANTALib");
  EXPECT_EQ(help_file.View(), L"Orvanta.hlp");
  // The library holds the two interfaces and the class, and no property page.
  EXPECT_EQ(library_->GetTypeInfoCount(), 3u);
}

TEST_F(TypeLibrary, DescribesTheDispatchInterfaceAsClientsKnowIt) {
  ComPtr<ITypeInfo> info = TypeInfoOf(DIID__DOrvanta);
  ASSERT_TRUE(info);
  TypeAttr attr(info.Get());
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attr->cVars, 0);
  ASSERT_EQ(attr->cFuncs, static_cast<WORD>(std::size(kContractMethods)));

  for (UINT index = 0; index < std::size(kContractMethods); ++index) {
    const ContractMethod& method = kContractMethods[index];
    FUNCDESC* func = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index, &func), S_OK);
    EXPECT_EQ(func->memid, method.id) << index;
    EXPECT_EQ(func->invkind, INVOKE_FUNC) << index;
    EXPECT_EQ(func->cParams, 0) << index;
    EXPECT_EQ(func->elemdescFunc.tdesc.vt, method.result) << index;
    info->ReleaseFuncDesc(func);

    ScopedBstr name, help;
    DWORD context = 1;
    ASSERT_EQ(info->GetDocumentation(method.id, name.Receive(), help.Receive(), &context, nullptr), S_OK);
    EXPECT_EQ(name.View(), method.name);
    EXPECT_EQ(help.Length(), 0u) << index;
    EXPECT_EQ(context, 0u) << index;
  }
}

TEST_F(TypeLibrary, DescribesTheEmptyEventInterface) {
  ComPtr<ITypeInfo> info = TypeInfoOf(DIID__DOrvantaEvents);
  ASSERT_TRUE(info);
  TypeAttr attr(info.Get());
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDISPATCHABLE);
  EXPECT_EQ(attr->cFuncs, 0);
  EXPECT_EQ(HelpStringOf(info.Get()), L"Event interface for Orvanta Control");
}

TEST_F(TypeLibrary, DescribesTheControlClass) {
  ComPtr<ITypeInfo> info = TypeInfoOf(CLSID_Orvanta);
  ASSERT_TRUE(info);
  TypeAttr attr(info.Get());
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
  EXPECT_EQ(HelpStringOf(info.Get()), L"Orvanta Control");
  ASSERT_EQ(attr->cImplTypes, 2);

  const struct {
    const IID* iid;
    INT flags;
  } kImplemented[] = {
      {&DIID__DOrvanta, IMPLTYPEFLAG_FDEFAULT},
      {&DIID__DOrvantaEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
  };
  for (UINT index = 0; index < 2; ++index) {
    INT flags = 0;
    ASSERT_EQ(info->GetImplTypeFlags(index, &flags), S_OK);
    EXPECT_EQ(flags, kImplemented[index].flags) << index;
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(index, &ref), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(info->GetRefTypeInfo(ref, implemented.Receive()), S_OK);
    TypeAttr implemented_attr(implemented.Get());
    EXPECT_TRUE(IsEqualGUID(implemented_attr->guid, *kImplemented[index].iid)) << index;
  }
}

}  // namespace
}  // namespace orvanta::testing
