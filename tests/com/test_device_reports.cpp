// The device reports and the registry video memory report under Wine: a tree
// of services, device instances and adapter entries that the
// tests plant in the prefix's registry and remove again. Wine's own devices
// come first in the reports (the planted services sort last), so each check
// is "what the report said before" plus the lines the planted tree adds.
#include <ddraw.h>
#include <gtest/gtest.h>

#include "framework/scoped_library.h"
#include "tests/com/com_test_support.h"
#include "tests/com/planted_key.h"

namespace orvanta::testing {
namespace {

constexpr DISPID kGetDriverInfo = 4;
constexpr DISPID kGetVideocardNameInfo = 7;
constexpr DISPID kGetMediaInfo = 11;
constexpr DISPID kGetNetInfo = 12;
constexpr DISPID kGetModemInfo = 13;
constexpr DISPID kGetCDROMInfo = 14;
constexpr DISPID kGetVRAMbyRegInfo = 23;

const wchar_t kMediaGuid[] = L"{4d36e96c-e325-11ce-bfc1-08002be10318}";
const wchar_t kMediaGuidUpper[] = L"{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const wchar_t kCdromGuid[] = L"{4d36e965-e325-11ce-bfc1-08002be10318}";

const std::wstring kServices = L"SYSTEM\\CurrentControlSet\\Services\\";
const std::wstring kEnum = L"SYSTEM\\CurrentControlSet\\Enum\\";

// Instances live below Enum\ORVANTA_TEST, driver keys below Class\ORVANTA_TEST.
const std::wstring kInstances = L"ORVANTA_TEST";

// Services whose names sort after every service of Wine's own.
class PlantedService {
 public:
  explicit PlantedService(const std::wstring& name) : key_(kServices + name) {}
  void Plant() { key_.Plant(); }
  PlantedKey& key() { return key_; }
  // A "Group" value, as the services that own devices have.
  void Group() { key_.SetText(L"Group", L"Orvanta test"); }
  // The Enum key: "Count" and one value per instance path.
  void Devices(DWORD count, std::initializer_list<std::wstring> instances) {
    key_.SetDwordAt(L"Enum", L"Count", count);
    DWORD index = 0;
    for (const std::wstring& instance : instances)
      key_.SetTextAt(L"Enum", std::to_wstring(index++).c_str(), kInstances + L"\\" + instance);
  }

 private:
  PlantedKey key_;
};

class DeviceReports : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  std::wstring Report(DISPID id) { return CallReport(control_.Get(), id); }

  // An instance key below Enum\ORVANTA_TEST.
  void Instance(const std::wstring& name, const wchar_t* class_guid, const std::wstring& description) {
    instances_.SetTextAt(name, L"ClassGUID", class_guid);
    instances_.SetTextAt(name, L"DeviceDesc", description);
  }

  ComPtr<IDispatch> control_;
  PlantedKey instances_{kEnum + kInstances};
};

TEST_F(DeviceReports, ServicesListTheirDevicesByClass) {
  const std::wstring media_before = Report(kGetMediaInfo);
  const std::wstring cdrom_before = Report(kGetCDROMInfo);
  const std::wstring driver_before = Report(kGetDriverInfo);
  const std::wstring net_before = Report(kGetNetInfo);
  const std::wstring modem_before = Report(kGetModemInfo);

  ASSERT_NO_FATAL_FAILURE(instances_.Plant());
  ASSERT_NO_FATAL_FAILURE(Instance(L"First", kMediaGuid, L"Orvanta test first"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Second", kMediaGuid, L"Orvanta test second"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Hidden", kMediaGuid, L"Orvanta test hidden"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Upper", kMediaGuidUpper, L"Orvanta test upper-case class"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Resource", kMediaGuid, L"@orvanta.inf,%desc%;Orvanta test resource"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Long", kMediaGuid, std::wstring(600, L'L')));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Number", kMediaGuid, L""));
  ASSERT_NO_FATAL_FAILURE(instances_.SetDwordAt(L"Number", L"DeviceDesc", 7));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Cd", kCdromGuid, L"Orvanta test CD"));
  ASSERT_NO_FATAL_FAILURE(instances_.SetTextAt(L"Cd", L"FriendlyName", L"Orvanta test CD drive"));

  // Two devices, listed in the order of their numbers, not of their names.
  PlantedService listed(L"zzOrvantaTest1");
  ASSERT_NO_FATAL_FAILURE(listed.Plant());
  ASSERT_NO_FATAL_FAILURE(listed.Group());
  ASSERT_NO_FATAL_FAILURE(listed.Devices(2, {L"Second", L"First", L"Hidden"}));
  // A value before "Group" whose data exceeds the search's 520 bytes ends the
  // search for "Group".
  PlantedService big_value(L"zzOrvantaTest4");
  ASSERT_NO_FATAL_FAILURE(big_value.Plant());
  const std::vector<BYTE> blob(600, 0x5A);
  ASSERT_NO_FATAL_FAILURE(big_value.key().Set(L"Description", REG_BINARY, blob.data(), blob.size()));
  ASSERT_NO_FATAL_FAILURE(big_value.Group());
  ASSERT_NO_FATAL_FAILURE(big_value.Devices(1, {L"Hidden"}));
  // A missing instance does not stop the next number being read; names come
  // as stored; a REG_DWORD name is empty; an over-long one is cut.
  PlantedService mixed(L"zzOrvantaTest5");
  ASSERT_NO_FATAL_FAILURE(mixed.Plant());
  ASSERT_NO_FATAL_FAILURE(mixed.Group());
  ASSERT_NO_FATAL_FAILURE(mixed.Devices(6, {L"Missing", L"Upper", L"Resource", L"Number", L"Long", L"Cd"}));

  const std::wstring added = L"Orvanta test second\nOrvanta test first\nOrvanta test upper-case class\n"
                             L"@orvanta.inf,%desc%;Orvanta test resource\n\n" +
                             std::wstring(519, L'L') + L"\n";
  EXPECT_EQ(Report(kGetMediaInfo), media_before + added);
  EXPECT_EQ(Report(kGetDriverInfo), driver_before + added);
  EXPECT_EQ(Report(kGetNetInfo), net_before);
  EXPECT_EQ(Report(kGetModemInfo), modem_before);
  EXPECT_EQ(Report(kGetCDROMInfo), cdrom_before + L"Orvanta test CD drive\n") << "the FriendlyName on NT";
}

TEST_F(DeviceReports, ConfigurationManagerNodesReplaceTheServices) {
  // Where HKEY_DYN_DATA's configuration manager lists device nodes (Windows
  // 9x), the walk runs over them: each node names its instance in
  // "HardWareKey", and the services are not read.
  ASSERT_NO_FATAL_FAILURE(instances_.Plant());
  ASSERT_NO_FATAL_FAILURE(Instance(L"Node", kMediaGuid, L"Orvanta test node"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Serviced", kMediaGuid, L"Orvanta test serviced"));
  PlantedService service(L"zzOrvantaTest9");
  ASSERT_NO_FATAL_FAILURE(service.Plant());
  ASSERT_NO_FATAL_FAILURE(service.Group());
  ASSERT_NO_FATAL_FAILURE(service.Devices(1, {L"Serviced"}));
  EXPECT_EQ(Report(kGetMediaInfo), L"Orvanta test serviced\n") << "Wine's configuration manager lists no nodes";

  PlantedKey node(L"Config Manager\\Enum\\ORVANTA_TEST_NODE", REG_OPTION_VOLATILE, HKEY_DYN_DATA);
  ASSERT_NO_FATAL_FAILURE(node.Plant());
  ASSERT_NO_FATAL_FAILURE(node.SetText(L"HardWareKey", kInstances + L"\\Node"));
  EXPECT_EQ(Report(kGetMediaInfo), L"Orvanta test node\n");
}

// The default display adapter's description as DirectDraw gives it.
std::wstring DirectDrawDescription() {
  ScopedLibrary ddraw(L"ddraw.dll");
  using CreateFn = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);
  const auto create = ddraw.Find<CreateFn>("DirectDrawCreate");
  EXPECT_TRUE(create);
  if (!create) return L"";
  ComPtr<IDirectDraw> directdraw;
  EXPECT_EQ(create(nullptr, directdraw.Receive(), nullptr), DD_OK);
  ComPtr<IDirectDraw4> directdraw4;
  const GUID iid = {0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};
  EXPECT_EQ(directdraw.As(iid, &directdraw4), S_OK);
  if (!directdraw4) return L"";
  DDDEVICEIDENTIFIER identifier = {};
  EXPECT_EQ(directdraw4->GetDeviceIdentifier(&identifier, 0), DD_OK);
  wchar_t wide[MAX_DDDEVICEID_STRING] = {};
  MultiByteToWideChar(CP_THREAD_ACP, 0, identifier.szDescription, -1, wide, MAX_DDDEVICEID_STRING - 1);
  return wide;
}

TEST_F(DeviceReports, VideocardIsDirectDrawsOneLineAndItsRegistryEntryGivesTheMemory) {
  const std::wstring description = DirectDrawDescription();
  ASSERT_FALSE(description.empty());
  EXPECT_EQ(Report(kGetVideocardNameInfo), description + L"\n");
  // An adapter entry below the services, named as the video card report names it.
  PlantedKey adapter(kServices + L"zzOrvantaTestVideo");
  ASSERT_NO_FATAL_FAILURE(adapter.Plant());
  const DWORD size = 268435456;
  ASSERT_NO_FATAL_FAILURE(adapter.SetTextAt(L"Device0", L"HardwareInformation.AdapterString", L"Orvanta adapter"));
  ASSERT_NO_FATAL_FAILURE(adapter.SetTextAt(L"Device0", L"Device Description", description));
  ASSERT_NO_FATAL_FAILURE(adapter.SetAt(L"Device0", L"HardwareInformation.MemorySize", REG_BINARY, &size, 4));
  EXPECT_EQ(Report(kGetVRAMbyRegInfo), L"256.0 MB");
}

}  // namespace
}  // namespace orvanta::testing
