// The device reports' text rules: class matching, the CD-ROM name rule, the
// adapter name comparison, the memory size text and the video card choice.
#include <gtest/gtest.h>

#include "collectors/devices/adapter_memory.h"
#include "collectors/devices/device_reports.h"
#include "collectors/devices/device_walk.h"
#include "tests/unit/fake_registry.h"

namespace orvanta {
namespace {

using testing::FakeRegistry;

const std::wstring kService = L"SYSTEM\\CurrentControlSet\\Services\\Orvanta";
const std::wstring kList = kService + L"\\Enum";
const std::wstring kInstances = L"SYSTEM\\CurrentControlSet\\Enum\\ROOT\\";
const wchar_t kDisplay[] = L"{4D36E968-E325-11CE-BFC1-08002BE10318}";
const wchar_t kMedia[] = L"{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const wchar_t kModem[] = L"{4d36e96d-e325-11ce-bfc1-08002be10318}";  // as some drivers write it
const wchar_t kNet[] = L"{4D36E972-E325-11CE-BFC1-08002BE10318}";
const wchar_t kCdrom[] = L"{4D36E965-E325-11CE-BFC1-08002BE10318}";

// One service listing one device per (class GUID, DeviceDesc), in this order;
// each device's FriendlyName is its DeviceDesc with " drive" added.
FakeRegistry Devices(std::initializer_list<std::pair<const wchar_t*, std::wstring>> devices) {
  FakeRegistry registry;
  const BYTE count[4] = {static_cast<BYTE>(devices.size())};
  registry.Text(kService, L"Group", L"Orvanta").Value(kList, L"Count", REG_DWORD, std::vector<BYTE>(count, count + 4));
  int index = 0;
  for (const auto& [guid, name] : devices) {
    const std::wstring instance = L"Device" + std::to_wstring(index);
    registry.Text(kList, std::to_wstring(index++), L"ROOT\\" + instance)
        .Text(kInstances + instance, L"ClassGUID", guid)
        .Text(kInstances + instance, L"DeviceDesc", name)
        .Text(kInstances + instance, L"FriendlyName", name + L" drive");
  }
  return registry;
}

TEST(DeviceListReport, ListsEachClassWhereItBelongs) {
  const FakeRegistry registry = Devices({{kDisplay, L"Orvanta display"}, {kMedia, L"Orvanta media"},
                                         {kModem, L"Orvanta modem"}, {kNet, L"Orvanta net"},
                                         {kCdrom, L"Orvanta CD"}, {L"{4D36E97D-E325-11CE-BFC1-08002BE10318}",
                                                                   L"Orvanta system"}});
  const struct {
    unsigned classes;
    const wchar_t* report;
  } cases[] = {
      {kDisplayClass | kMediaClass | kNetClass | kModemClass,
       L"Orvanta display\nOrvanta media\nOrvanta modem\nOrvanta net\n"},
      {kDisplayClass, L"Orvanta display\n"}, {kMediaClass, L"Orvanta media\n"},
      {kModemClass, L"Orvanta modem\n"},     {kNetClass, L"Orvanta net\n"},
  };
  for (const auto& c : cases) {
    CString report;
    WriteDeviceListReport(report, registry, c.classes);
    EXPECT_EQ(report, c.report) << c.classes;
  }
  for (const auto& [platform, name] : {std::pair{VER_PLATFORM_WIN32_NT, L"Orvanta CD drive\n"},
                                       {VER_PLATFORM_WIN32_WINDOWS, L"Orvanta CD\n"}, {3, L""}}) {
    CString report;
    WriteCDROMReport(report, registry, platform);
    EXPECT_EQ(report, name) << platform;
  }
  EXPECT_EQ(registry.open_keys(), 0);
}

TEST(DeviceListReport, CutsLongNamesAndLeavesOutHugeOnes) {
  const std::wstring pair_at_cut = std::wstring(518, L'P') + L"\U0001F600";
  const FakeRegistry registry = Devices({{kNet, std::wstring(600, L'L')},
                                         {kNet, pair_at_cut},
                                         {kNet, std::wstring(8 << 20, L'H')},
                                         {kNet, L"Orvanta net"}});
  CString report;
  WriteDeviceListReport(report, registry, kNetClass);
  EXPECT_EQ(report, std::wstring(519, L'L') + L"\n" + std::wstring(518, L'P') + L"\n\nOrvanta net\n");
}

TEST(DeviceWalk, HoldsTheInstanceDriverAndClassParts) {
  const std::wstring kClass = L"SYSTEM\\CurrentControlSet\\Control\\Class\\";
  FakeRegistry registry = Devices({{kMedia, L"Orvanta media"}});
  for (const wchar_t* name : {L"Mfg", L"Service", L"Driver"})
    registry.Text(kInstances + L"Device0", name, std::wstring(L"Orvanta ") + name);
  for (const wchar_t* name : {L"DeviceDesc", L"DriverDate", L"DriverVersion", L"InfPath"})
    registry.Text(kClass + L"Orvanta Driver", name, std::wstring(L"Orvanta ") + name);
  registry.Text(kClass + L"Orvanta Driver", L"ProviderName", L"%SystemRoot%", REG_EXPAND_SZ)
      .Text(kClass + kMedia, L"", L"Orvanta media class");
  DeviceRoots roots(registry);
  RegKey enum_key(registry);
  ASSERT_EQ(enum_key.Open(HKEY_LOCAL_MACHINE, kList.c_str(), KEY_READ), ERROR_SUCCESS);
  auto entry = std::make_unique<DeviceEntry>();
  ASSERT_TRUE(ReadServiceDevice(roots, *entry, enum_key, 0));
  EXPECT_FALSE(ReadServiceDevice(roots, *entry, enum_key, 1)) << "no second instance";
  ASSERT_TRUE(ReadServiceDevice(roots, *entry, enum_key, 0));

  const DeviceKeyFields& device = entry->DeviceKeyInfo;
  EXPECT_STREQ(device.ClassGUID, kMedia);
  EXPECT_STREQ(device.DeviceDesc, L"Orvanta media");
  EXPECT_STREQ(device.Driver, L"Orvanta Driver");
  EXPECT_STREQ(device.Mfg, L"Orvanta Mfg");
  EXPECT_STREQ(device.Service, L"Orvanta Service");
  EXPECT_STREQ(device.FriendlyName, L"Orvanta media drive");
  const DriverKeyFields& driver = entry->DriverKeyInfo;
  EXPECT_STREQ(driver.DeviceDesc, L"Orvanta DeviceDesc");
  EXPECT_STREQ(driver.DriverDate, L"Orvanta DriverDate");
  EXPECT_STREQ(driver.DriverVersion, L"Orvanta DriverVersion");
  EXPECT_STREQ(driver.InfPath, L"Orvanta InfPath");
  EXPECT_STREQ(driver.ProviderName, L"%SystemRoot%") << "stored unexpanded";
  EXPECT_STREQ(entry->ClassDescription, L"Orvanta media class");
}

TEST(MatchClassGuid, ComparesTheBracedFormIgnoringCase) {
  const GUID media = {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  const GUID padded = {0x00012345, 0x0006, 0x0078, {0x00, 0x09, 0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E}};
  const struct {
    const wchar_t* text;
    const GUID& guid;
    bool match;
  } cases[] = {
      {L"{4d36e96c-e325-11ce-bfc1-08002be10318}", media, true},
      {L"{4D36E96C-E325-11CE-BFC1-08002BE10318}", media, true},
      {L"{4D36E96C-E325-11CE-BFC1-08002BE10319}", media, false},
      {L"4D36E96C-E325-11CE-BFC1-08002BE10318", media, false},
      {L"{4D36E96C-E325-11CE-BFC1-08002BE10318} ", media, false},
      {L"", media, false},
      // Leading zeros are part of every group.
      {L"{00012345-0006-0078-0009-000A0B0C0D0E}", padded, true},
      {L"{12345-6-78-09-000a0b0c0d0e}", padded, false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchClassGuid(c.text, c.guid), c.match) << c.text;
}

TEST(AppendNameOnce, LeavesOutNamesAlreadyInTheText) {
  const struct {
    const wchar_t* before;
    const wchar_t* name;
    const wchar_t* after;
  } cases[] = {
      {L"X DVD-RW\n", L"X DVD", L"X DVD-RW\n"},
      {L"X DVD\n", L"x dvd", L"X DVD\nx dvd\n"},
      {L"A\nB\n", L"A\nB", L"A\nB\n"},
      {L"X DVD\n", L"", L"X DVD\n"},
      {L"", L"", L""},
  };
  for (const auto& c : cases) {
    CString report = c.before;
    AppendNameOnce(report, c.name);
    EXPECT_EQ(report, c.after) << c.before << "+" << c.name;
  }
}

TEST(SameAdapterName, TrimsBothEndsAndKeepsCase) {
  const struct {
    const wchar_t* description;
    const wchar_t* name;
    bool same;
  } cases[] = {
      {L"Orvanta GPU", L"Orvanta GPU\n", true},
      {L" \tOrvanta GPU\r\n", L"\vOrvanta GPU\f", true},
      {L"Orvanta GPU", L"orvanta gpu", false},
      {L"Orvanta  GPU", L"Orvanta GPU", false},
      {L"Orvanta GPU\nOther GPU", L"Orvanta GPU", false},
      {L"Orvanta GPU", L"Orvanta GPU\nOther GPU\n", false},
      {L"", L" \n", true},
      {L"Orvanta GPU", L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameAdapterName(c.description, c.name), c.same) << c.description;
}

TEST(FormatAdapterMemorySize, PrintsMegabytesByType) {
  const struct {
    DWORD type;
    std::vector<BYTE> data;
    const wchar_t* text;
  } cases[] = {
      {REG_DWORD, {0x00, 0x00, 0x00, 0x08}, L"128.0MB"},
      {REG_BINARY, {0x00, 0x00, 0x00, 0x08}, L"128.0 MB"},
      {REG_BINARY, {0x00, 0x00, 0x00, 0xC0}, L"3072.0 MB"},  // unsigned: 3 GB
      {REG_BINARY, {0x00, 0x00, 0x10, 0x00, 0xFF, 0xFF}, L"1.0 MB"},  // the first word only
      {REG_DWORD, {0x00, 0x00, 0x00, 0x00}, L"0.0MB"},
      {REG_DWORD, {0x00, 0x00, 0x01}, L"0.1MB"},  // 65536 bytes, zero-padded
      {REG_BINARY, {}, L"0.0 MB"},
      {REG_SZ, {'1', 0, 0, 0}, L""},
      {REG_QWORD, {0, 0, 0, 8, 0, 0, 0, 0}, L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatAdapterMemorySize(c.type, c.data.data(), static_cast<DWORD>(c.data.size())), c.text)
        << "type " << c.type;
  }
}

class FakeDirectDraw : public DisplayAdapterSource {
 public:
  FakeDirectDraw(bool available, std::wstring description)
      : available_(available), description_(std::move(description)) {}
  bool Describe(std::wstring* description) const override {
    ++calls;
    if (available_) *description = description_;
    return available_;
  }
  mutable int calls = 0;

 private:
  bool available_;
  std::wstring description_;
};

TEST(VideocardNameReport, DirectDrawAnswersAfterDirectX5) {
  const FakeRegistry registry = Devices({{kDisplay, L"Orvanta display"}, {kNet, L"Orvanta net"}});
  const struct {
    DWORD packed;
    bool available;
    const wchar_t* description;
    const wchar_t* report;
    int calls;
  } cases[] = {
      {0x90003, true, L"Orvanta GPU", L"Orvanta GPU\n", 1},
      {0x50001, true, L"Orvanta GPU", L"Orvanta GPU\n", 1},  // 5.0a
      {0x50000, true, L"Orvanta GPU", L"Orvanta display\n", 0},  // 5.0: the registry
      {0, true, L"Orvanta GPU", L"Orvanta display\n", 0},
      {0x90003, false, L"", L"Orvanta display\n", 1},  // no DirectDraw: the registry
      {0x90003, true, L"", L"\n", 1},  // the identifier could not be read
  };
  for (const auto& c : cases) {
    FakeDirectDraw directdraw(c.available, c.description);
    CString report;
    WriteVideocardNameReport(report, c.packed, directdraw, registry);
    EXPECT_EQ(report, c.report) << std::hex << c.packed;
    EXPECT_EQ(directdraw.calls, c.calls) << std::hex << c.packed;
  }
}

}  // namespace
}  // namespace orvanta
