// The device reports and the registry video memory report under Wine: a tree
// of services, device instances and adapter entries that the
// tests plant in the prefix's registry and remove again. Wine's own devices
// come first in the reports (the planted services sort last), so each check
// is "what the report said before" plus the lines the planted tree adds.
#include <ddraw.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>

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

// Instances live below Enum\ORVANTA_TEST.
const std::wstring kInstances = L"ORVANTA_TEST";

// A planted service whose name sorts after every service of Wine's own, with
// a "Group" value and an Enum key holding |count| and the instance paths in
// "0", "1", ...
void PlantService(PlantedKey& service, DWORD count, std::initializer_list<std::wstring> instances) {
  ASSERT_NO_FATAL_FAILURE(service.Plant());
  ASSERT_NO_FATAL_FAILURE(service.SetText(L"Group", L"Orvanta test"));
  ASSERT_NO_FATAL_FAILURE(service.SetDwordAt(L"Enum", L"Count", count));
  DWORD index = 0;
  for (const std::wstring& instance : instances)
    ASSERT_NO_FATAL_FAILURE(
        service.SetTextAt(L"Enum", std::to_wstring(index++).c_str(), kInstances + L"\\" + instance));
}

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
  std::map<DISPID, std::wstring> before;
  for (DISPID id : {kGetMediaInfo, kGetDriverInfo, kGetNetInfo, kGetModemInfo, kGetCDROMInfo}) before[id] = Report(id);

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
  ASSERT_NO_FATAL_FAILURE(Instance(L"Net", L"{4D36E972-E325-11CE-BFC1-08002BE10318}", L"Orvanta test net"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Modem", L"{4d36e96d-e325-11ce-bfc1-08002be10318}", L"Orvanta test modem"));

  // Two devices, listed in the order of their numbers, not of their names.
  PlantedKey listed(kServices + L"zzOrvantaTest1");
  ASSERT_NO_FATAL_FAILURE(PlantService(listed, 2, {L"Second", L"First", L"Hidden"}));
  // A missing instance does not stop the next number being read; names come
  // as stored; a REG_DWORD name is empty; an over-long one is cut.
  PlantedKey mixed(kServices + L"zzOrvantaTest5");
  ASSERT_NO_FATAL_FAILURE(
      PlantService(mixed, 8, {L"Missing", L"Upper", L"Resource", L"Number", L"Long", L"Cd", L"Net", L"Modem"}));

  const std::wstring added = L"Orvanta test second\nOrvanta test first\nOrvanta test upper-case class\n"
                             L"@orvanta.inf,%desc%;Orvanta test resource\n\n" +
                             std::wstring(519, L'L') + L"\n";
  EXPECT_EQ(Report(kGetMediaInfo), before[kGetMediaInfo] + added);
  EXPECT_EQ(Report(kGetDriverInfo), before[kGetDriverInfo] + added + L"Orvanta test net\nOrvanta test modem\n");
  EXPECT_EQ(Report(kGetNetInfo), before[kGetNetInfo] + L"Orvanta test net\n");
  EXPECT_EQ(Report(kGetModemInfo), before[kGetModemInfo] + L"Orvanta test modem\n");
  EXPECT_EQ(Report(kGetCDROMInfo), before[kGetCDROMInfo] + L"Orvanta test CD drive\n") << "the FriendlyName on NT";
}

TEST_F(DeviceReports, ConfigurationManagerNodesReplaceTheServices) {
  // Where HKEY_DYN_DATA's configuration manager lists device nodes (Windows
  // 9x), the walk runs over them: each node names its instance in
  // "HardWareKey", and the services are not read.
  ASSERT_NO_FATAL_FAILURE(instances_.Plant());
  ASSERT_NO_FATAL_FAILURE(Instance(L"Node", kMediaGuid, L"Orvanta test node"));
  ASSERT_NO_FATAL_FAILURE(Instance(L"Serviced", kMediaGuid, L"Orvanta test serviced"));
  PlantedKey service(kServices + L"zzOrvantaTest9");
  ASSERT_NO_FATAL_FAILURE(PlantService(service, 1, {L"Serviced"}));
  EXPECT_EQ(Report(kGetMediaInfo), L"Orvanta test serviced\n") << "Wine's configuration manager lists no nodes";

  PlantedKey node(L"Config Manager\\Enum\\ORVANTA_TEST_NODE", REG_OPTION_VOLATILE, HKEY_DYN_DATA);
  ASSERT_NO_FATAL_FAILURE(node.Plant());
  ASSERT_NO_FATAL_FAILURE(node.SetText(L"HardWareKey", kInstances + L"\\Node"));
  EXPECT_EQ(Report(kGetMediaInfo), L"Orvanta test node\n");
}

// The default display adapter's description as DirectDraw gives it.
std::wstring DirectDrawDescription() {
  ComPtr<IDirectDraw> directdraw;
  EXPECT_EQ(DirectDrawCreate(nullptr, directdraw.Receive(), nullptr), DD_OK);
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
  EXPECT_EQ(CallRecordedReport(control_.Get(), kGetVideocardNameInfo), description + L"\n");
  // An adapter entry below the services, named as the video card report names
  // it, written as drivers write it for a card of 24 GB: the 32-bit size
  // capped, the whole one in 64 bits.
  PlantedKey adapter(kServices + L"zzOrvantaTestVideo");
  ASSERT_NO_FATAL_FAILURE(adapter.Plant());
  const DWORD capped = 0xFFF00000;
  const uint64_t size = uint64_t{24} << 30;
  ASSERT_NO_FATAL_FAILURE(adapter.SetTextAt(L"Device0", L"HardwareInformation.AdapterString", L"Orvanta adapter"));
  ASSERT_NO_FATAL_FAILURE(adapter.SetTextAt(L"Device0", L"Device Description", description));
  ASSERT_NO_FATAL_FAILURE(adapter.SetAt(L"Device0", L"HardwareInformation.MemorySize", REG_BINARY, &capped, 4));
  ASSERT_NO_FATAL_FAILURE(adapter.SetAt(L"Device0", L"HardwareInformation.qwMemorySize", REG_QWORD, &size, 8));
  EXPECT_EQ(Report(kGetVRAMbyRegInfo), L"24576.0 MB");
}

}  // namespace
}  // namespace orvanta::testing
