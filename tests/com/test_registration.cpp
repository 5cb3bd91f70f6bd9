// Registration and unregistration through the module's entry points, read back
// from the registry; DllCanUnloadNow.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <olectl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "control/orvanta_idl.h"
#include "framework/reg_key.h"
#include "tests/com/com_test_support.h"

namespace orvanta::testing {
namespace {

const std::wstring kControlKey = L"CLSID\\" + GuidText(CLSID_Orvanta);
const std::wstring kPageKey = L"CLSID\\" + GuidText(CLSID_OrvantaPropPage);
const std::wstring kProgIdKey = L"ORVANTA.OrvantaCtrl.1";
const std::wstring kTypeLibKey = L"TypeLib\\" + GuidText(LIBID_ORVANTALib);

std::wstring ShortOcxPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetShortPathNameW(OcxPath().c_str(), path, MAX_PATH);
  EXPECT_GT(length, 0u);
  return std::wstring(path, length);
}

class Registration : public ::testing::Test {
 protected:
  // Every case starts from a registered module and leaves it registered.
  void SetUp() override { ASSERT_EQ(module_.Register(), S_OK); }
  void TearDown() override { EXPECT_EQ(module_.Register(), S_OK); }

  OcxModule module_;
};

TEST_F(Registration, WritesExactlyTheControlsEntries) {
  const std::wstring path = ShortOcxPath();
  const std::wstring clsid = GuidText(CLSID_Orvanta);
  const std::wstring libid = GuidText(LIBID_ORVANTALib);
  EXPECT_EQ(DumpClassesKey(kControlKey), (std::vector<std::wstring>{
                                              kControlKey,
                                              kControlKey + L"\\Control",
                                              kControlKey + L"\\Control|@|",
                                              kControlKey + L"\\InprocServer32",
                                              kControlKey + L"\\InprocServer32|@|" + path,
                                              kControlKey + L"\\InprocServer32|ThreadingModel|Apartment",
                                              kControlKey + L"\\MiscStatus",
                                              kControlKey + L"\\MiscStatus\\1",
                                              kControlKey + L"\\MiscStatus\\1|@|132497",
                                              kControlKey + L"\\MiscStatus|@|0",
                                              kControlKey + L"\\ProgID",
                                              kControlKey + L"\\ProgID|@|ORVANTA.OrvantaCtrl.1",
                                              kControlKey + L"\\ToolboxBitmap32",
                                              kControlKey + L"\\ToolboxBitmap32|@|" + path + L", 1",
                                              kControlKey + L"\\TypeLib",
                                              kControlKey + L"\\TypeLib|@|" + libid,
                                              kControlKey + L"\\Version",
                                              kControlKey + L"\\Version|@|1.0",
                                              kControlKey + L"|@|Pelmora Control",
                                          }));
  EXPECT_EQ(DumpClassesKey(kProgIdKey), (std::vector<std::wstring>{
                                            kProgIdKey,
                                            kProgIdKey + L"\\CLSID",
                                            kProgIdKey + L"\\CLSID|@|" + clsid,
                                            kProgIdKey + L"|@|Pelmora Control",
                                        }));
}

TEST_F(Registration, WritesThePropertyPageWithoutThreadingModel) {
  EXPECT_EQ(DumpClassesKey(kPageKey), (std::vector<std::wstring>{
                                          kPageKey,
                                          kPageKey + L"\\InprocServer32",
                                          kPageKey + L"\\InprocServer32|@|" + ShortOcxPath(),
                                          kPageKey + L"|@|Pelmora Property Page",
                                      }));
  EXPECT_FALSE(ClassesKeyExists(L"ORVANTA.OrvantaPropPage.1"));
}

TEST_F(Registration, RegistersTheTypeLibraryFromTheModule) {
#ifdef _WIN64
  const wchar_t* platform = L"\\1.0\\409\\win64";
#else
  const wchar_t* platform = L"\\1.0\\409\\win32";
#endif
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, (kTypeLibKey + platform).c_str(), KEY_READ), ERROR_SUCCESS);
  std::wstring path;
  DWORD type = REG_NONE;
  ASSERT_EQ(key.ReadText(nullptr, &type, &path), ERROR_SUCCESS);
  EXPECT_EQ(_wcsicmp(path.c_str(), OcxPath().c_str()), 0);
  // The dispatch interfaces are described by the registered library.
  EXPECT_TRUE(ClassesKeyExists(L"Interface\\" + GuidText(DIID__DOrvanta)));
  EXPECT_TRUE(ClassesKeyExists(L"Interface\\" + GuidText(DIID__DOrvantaEvents)));
}

// Every ProgID that the side-by-side manifest offers, as an attribute or an
// element of a class, names that class once the module is registered too, so
// that a script behaves the same with and without registration.
TEST_F(Registration, AgreesWithTheManifestOnEveryProgId) {
  std::ifstream file(std::filesystem::path(BinDirectory() + L"Orvanta.Control.manifest"));
  const std::string manifest((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(manifest.empty());
  const std::regex com_class(R"re(<comClass\b[^>]*?\bclsid="([^"]+)"[^>]*?(/>|>([\s\S]*?)</comClass>))re");
  const std::regex prog_id(R"re(\bprogid="([^"]+)"|<progid>([^<]+)</progid>)re");
  int prog_ids = 0;
  for (std::sregex_iterator it(manifest.begin(), manifest.end(), com_class), end; it != end; ++it) {
    const std::string whole = (*it)[0];
    for (std::sregex_iterator id(whole.begin(), whole.end(), prog_id); id != end; ++id) {
      const std::string name = (*id)[1].matched ? (*id)[1].str() : (*id)[2].str();
      SCOPED_TRACE(name);
      ++prog_ids;
      CLSID clsid = {};
      ASSERT_EQ(CLSIDFromProgID(std::wstring(name.begin(), name.end()).c_str(), &clsid), S_OK);
      const std::string expected = (*it)[1];
      EXPECT_EQ(GuidText(clsid), std::wstring(expected.begin(), expected.end()));
    }
  }
  EXPECT_EQ(prog_ids, 1) << "the control's; registration gives the property page none";
}

TEST_F(Registration, DeclaresNoInsertableOrSafetyCategories) {
  EXPECT_FALSE(ClassesKeyExists(kControlKey + L"\\Insertable"));
  EXPECT_FALSE(ClassesKeyExists(kControlKey + L"\\Implemented Categories"));
  EXPECT_FALSE(ClassesKeyExists(kControlKey + L"\\Required Categories"));
  ComPtr<IDispatch> control = CreateControl();
  ComPtr<IObjectSafety> safety;
  EXPECT_EQ(control.As(IID_IObjectSafety, &safety), E_NOINTERFACE);
}

TEST_F(Registration, UnregistrationLeavesNoKeyBehind) {
  ASSERT_EQ(module_.Unregister(), S_OK);
  EXPECT_FALSE(ClassesKeyExists(kControlKey));
  EXPECT_FALSE(ClassesKeyExists(kPageKey));
  EXPECT_FALSE(ClassesKeyExists(kProgIdKey));
  EXPECT_FALSE(ClassesKeyExists(kTypeLibKey));
  EXPECT_FALSE(ClassesKeyExists(L"Interface\\" + GuidText(DIID__DOrvanta)));
  EXPECT_FALSE(ClassesKeyExists(L"Interface\\" + GuidText(DIID__DOrvantaEvents)));
  // With the library gone, a second unregistration fails at its first step.
  EXPECT_EQ(module_.Unregister(), SELFREG_E_TYPELIB);
}

TEST_F(Registration, LeavesAnotherServersEntriesOfTheClassInPlace) {
  // A 16-bit server of the same class: only the 32-bit server entries go.
  const std::wstring other_server = kControlKey + L"\\InprocServer";
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, other_server.c_str(), KEY_WRITE), ERROR_SUCCESS);
  ClassesKeyCleanup cleanup(kControlKey);
  ClassesKeyCleanup cleanup_prog_id(kProgIdKey);
  ASSERT_EQ(module_.Unregister(), S_OK);
  EXPECT_FALSE(ClassesKeyExists(kControlKey + L"\\InprocServer32"));
  EXPECT_FALSE(ClassesKeyExists(kControlKey + L"\\ToolboxBitmap32"));
  EXPECT_TRUE(ClassesKeyExists(other_server));
  EXPECT_TRUE(ClassesKeyExists(kControlKey + L"\\MiscStatus\\1"));
  EXPECT_TRUE(ClassesKeyExists(kProgIdKey));
  EXPECT_FALSE(ClassesKeyExists(kPageKey));
}

// A copy of the module in a folder of its own; both removed when the test ends.
class ModuleCopyInFolder {
 public:
  explicit ModuleCopyInFolder(const std::wstring& folder)
      : folder_(BinDirectory() + folder), path_(folder_ + L"\\ORVCOPY.OCX") {}
  ModuleCopyInFolder(const ModuleCopyInFolder&) = delete;
  ModuleCopyInFolder& operator=(const ModuleCopyInFolder&) = delete;
  ~ModuleCopyInFolder() {
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  void Make() {
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CopyFileW(OcxPath().c_str(), path_.c_str(), FALSE));
  }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring folder_;
  std::wstring path_;
};

std::wstring ShortPathOf(const std::wstring& path) {
  const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
  std::wstring short_path(size, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), short_path.data(), size);
  EXPECT_TRUE(length > 0 && length < size);
  short_path.resize(length);
  return short_path;
}

TEST_F(Registration, RecordsTheShortPathAlsoWhenItIsLongerThanTheLongOne) {
  // "ab.html" is a valid long name whose short form ("AB~...HTM") is longer.
  ModuleCopyInFolder copy(L"ab.html");
  ASSERT_NO_FATAL_FAILURE(copy.Make());
  const std::wstring short_path = ShortPathOf(copy.path());
  ASSERT_GT(short_path.size(), copy.path().size());
  {
    OcxModule other(copy.path());
    ASSERT_NE(other.handle(), nullptr);
    ASSERT_EQ(other.Register(), S_OK);
  }
  const std::vector<std::wstring> entries = DumpClassesKey(kControlKey + L"\\InprocServer32");
  EXPECT_NE(std::find(entries.begin(), entries.end(), kControlKey + L"\\InprocServer32|@|" + short_path),
            entries.end());
}

// A copy of the module whose embedded type library is another one; removed
// when the test ends.
class ModuleWithOtherLibrary {
 public:
  ModuleWithOtherLibrary() = default;
  ModuleWithOtherLibrary(const ModuleWithOtherLibrary&) = delete;
  ModuleWithOtherLibrary& operator=(const ModuleWithOtherLibrary&) = delete;
  ~ModuleWithOtherLibrary() { DeleteFileW(path_.c_str()); }

  void Make() {
    ASSERT_TRUE(CopyFileW(OcxPath().c_str(), path_.c_str(), FALSE));
    std::ifstream file(std::filesystem::path(BinDirectory() + L"other_library.tlb"), std::ios::binary);
    std::vector<char> library((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(library.empty());
    HANDLE update = BeginUpdateResourceW(path_.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    const bool updated = UpdateResourceW(update, L"TYPELIB", MAKEINTRESOURCEW(1),
                                         MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), library.data(),
                                         static_cast<DWORD>(library.size()));
    ASSERT_TRUE(EndUpdateResourceW(update, !updated));
    ASSERT_TRUE(updated);
  }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_ = BinDirectory() + L"ORVOTHER.OCX";
};

TEST_F(Registration, RefusesAModuleCarryingAnotherTypeLibrary) {
  ModuleWithOtherLibrary copy;
  ASSERT_NO_FATAL_FAILURE(copy.Make());
  ASSERT_EQ(module_.Unregister(), S_OK);
  {
    OcxModule other(copy.path());
    ASSERT_NE(other.handle(), nullptr);
    EXPECT_EQ(other.Register(), SELFREG_E_TYPELIB);
  }
  EXPECT_FALSE(ClassesKeyExists(kControlKey));
  EXPECT_FALSE(ClassesKeyExists(kPageKey));
  EXPECT_FALSE(ClassesKeyExists(kProgIdKey));
  EXPECT_FALSE(ClassesKeyExists(kTypeLibKey));
}

TEST(CanUnloadNow, TellsWhetherObjectsOrLocksAreAlive) {
  OcxModule module;
  CoFreeUnusedLibraries();
  ASSERT_EQ(module.CanUnloadNow(), S_OK);

  ComPtr<IDispatch> control = CreateControl();
  EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
  control.Reset();
  EXPECT_EQ(module.CanUnloadNow(), S_OK);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(module.GetClassObject(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
  EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(module.CanUnloadNow(), S_FALSE);

  ASSERT_EQ(module.GetClassObject(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(module.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace orvanta::testing
