// The device reports on a registry that the tests write: the walk, class
// matching, the CD-ROM name rule, the adapter search and the video card choice.
#include <gtest/gtest.h>

#include "collectors/devices/device_reports.h"
#include "collectors/devices/device_walk.h"
#include "collectors/graphics/videocard.h"
#include "tests/unit/fake_registry.h"

namespace orvanta {
namespace {

using testing::FakeRegistry;

const std::wstring kServices = L"SYSTEM\\CurrentControlSet\\Services\\";
const std::wstring kInstances = L"SYSTEM\\CurrentControlSet\\Enum\\ROOT\\";
const wchar_t kDisplay[] = L"{4D36E968-E325-11CE-BFC1-08002BE10318}";
const wchar_t kMedia[] = L"{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const wchar_t kModem[] = L"{4d36e96d-e325-11ce-bfc1-08002be10318}";  // as some drivers write it
const wchar_t kNet[] = L"{4D36E972-E325-11CE-BFC1-08002BE10318}";
const wchar_t kCdrom[] = L"{4D36E965-E325-11CE-BFC1-08002BE10318}";

// A device instance below Enum\ROOT; its FriendlyName is its DeviceDesc and " drive".
void Instance(FakeRegistry& registry, const std::wstring& name, const wchar_t* guid, const std::wstring& description) {
  registry.Text(kInstances + name, L"ClassGUID", guid)
      .Text(kInstances + name, L"DeviceDesc", description)
      .Text(kInstances + name, L"FriendlyName", description + L" drive");
}

// A service whose Enum key holds |count| and names |instances| in "0", "1", ...
void Service(FakeRegistry& registry, const std::wstring& name, DWORD count, const std::vector<std::wstring>& instances,
             bool grouped = true) {
  if (grouped) registry.Text(kServices + name, L"Group", L"Orvanta");
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&count);
  registry.Value(kServices + name + L"\\Enum", L"Count", REG_DWORD, {bytes, bytes + sizeof(count)});
  for (size_t index = 0; index < instances.size(); ++index)
    registry.Text(kServices + name + L"\\Enum", std::to_wstring(index), L"ROOT\\" + instances[index]);
}

// One service listing one device per (class GUID, DeviceDesc), in this order.
FakeRegistry Devices(std::initializer_list<std::pair<const wchar_t*, std::wstring>> devices) {
  FakeRegistry registry;
  std::vector<std::wstring> names;
  for (const auto& [guid, description] : devices) {
    names.push_back(L"Device" + std::to_wstring(names.size()));
    Instance(registry, names.back(), guid, description);
  }
  Service(registry, L"Orvanta", static_cast<DWORD>(names.size()), names);
  return registry;
}

TEST(DeviceListReport, ListsEachClassWhereItBelongs) {
  const FakeRegistry registry =
      Devices({{kDisplay, L"Orvanta display"}, {kMedia, L"Orvanta media"}, {kModem, L"Orvanta modem"},
               {kNet, L"Orvanta net"}, {kCdrom, L"Orvanta CD"}, {L"{4D36E97D-E325-11CE-BFC1-08002BE10318}", L"x"}});
  for (const auto& [classes, expected] :
       {std::pair{unsigned{kDisplayClass | kMediaClass | kNetClass | kModemClass},
                  L"Orvanta display\nOrvanta media\nOrvanta modem\nOrvanta net\n"},
        {kDisplayClass, L"Orvanta display\n"}, {kMediaClass, L"Orvanta media\n"},
        {kModemClass, L"Orvanta modem\n"}, {kNetClass, L"Orvanta net\n"}}) {
    CString report;
    WriteDeviceListReport(report, registry, classes);
    EXPECT_EQ(report, expected) << classes;
  }
  for (const auto& [platform, expected] : {std::pair{VER_PLATFORM_WIN32_NT, L"Orvanta CD drive\n"},
                                           {VER_PLATFORM_WIN32_WINDOWS, L"Orvanta CD\n"}, {3, L""}}) {
    CString report;
    WriteCDROMReport(report, registry, platform);
    EXPECT_EQ(report, expected) << platform;
  }
  EXPECT_EQ(registry.open_keys, 0);
}

TEST(DeviceListReport, TakesTheDevicesThatGroupedServicesCount) {
  FakeRegistry registry;
  for (const wchar_t* name : {L"First", L"Second", L"Hidden"}) Instance(registry, name, kNet, name);
  Service(registry, L"A", 2, {L"Second", L"First", L"Hidden"});  // by number, up to "Count"
  Service(registry, L"B", 0, {L"Hidden"});
  Service(registry, L"C", 1, {L"Hidden"}, false);  // no "Group": the Enum key's subkeys count
  Service(registry, L"D", 2, {L"Missing", L"First"});
  Service(registry, L"E", 0xFFFFFFFF, {L"Second"});  // a damaged "Count": up to the highest number
  registry.Text(kServices + L"E\\Enum", L"3", L"ROOT\\First");
  // Data beyond 520 bytes before "Group" ends the search for it.
  registry.Value(kServices + L"F", L"Description", REG_BINARY, std::vector<BYTE>(521));
  Service(registry, L"F", 1, {L"Hidden"});
  CString report;
  WriteDeviceListReport(report, registry, kNetClass);
  EXPECT_EQ(report, L"Second\nFirst\nFirst\nSecond\nFirst\n");
}

TEST(DeviceListReport, CutsLongNamesAndLeavesOutHugeOnes) {
  const FakeRegistry registry = Devices({{kNet, std::wstring(600, L'L')},
                                         {kNet, std::wstring(518, L'P') + L"\U0001F600"},
                                         {kNet, std::wstring(8 << 20, L'H')},
                                         {kNet, L"Orvanta net"}});
  CString report;
  WriteDeviceListReport(report, registry, kNetClass);
  EXPECT_EQ(report, std::wstring(519, L'L') + L"\n" + std::wstring(518, L'P') + L"\n\nOrvanta net\n");
}

TEST(DeviceWalk, FillsTheInstanceDriverAndClassParts) {
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
  ASSERT_EQ(enum_key.Open(HKEY_LOCAL_MACHINE, (kServices + L"Orvanta\\Enum").c_str(), KEY_READ), ERROR_SUCCESS);
  auto entry = std::make_unique<DeviceEntry>();
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
      {L" \tOrvanta GPU\r\n", L"\vOrvanta GPU\f", true},
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
    uint64_t bytes;
    const wchar_t* text;
  } cases[] = {
      {REG_BINARY, 0xC0000000, L"3072.0 MB"},  {REG_BINARY, 0x600000000, L"24576.0 MB"}, {REG_DWORD, 0, L"0.0MB"},
      {REG_DWORD, 0xFFF00000, L"4095.0MB"},    {REG_DWORD, 65536, L"0.1MB"},            {REG_QWORD, 1 << 27, L""},
      {REG_SZ, 1 << 27, L""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatAdapterMemorySize(c.type, c.bytes), c.text) << "type " << c.type;
}

TEST(AdapterMemory, FirstMatchingEntryGivesTheSize) {
  const std::wstring services = L"System\\CurrentControlSet\\Services\\Orvanta\\";
  const std::wstring video = L"SYSTEM\\CurrentControlSet\\Control\\Video\\{0D0E0A0D}\\";
  const std::wstring a = services + L"Device0", b = video + L"0000", c = video + L"0001", d = video + L"0002",
                     e = video + L"0003", f = video + L"0004", g = video + L"0005";
  const wchar_t kSize[] = L"HardwareInformation.MemorySize";
  const wchar_t kSize64[] = L"HardwareInformation.qwMemorySize";
  const std::vector<BYTE> size = {0, 0, 0, 8};  // 128 MB
  const std::vector<BYTE> size64 = {0, 0, 0, 0, 1, 0, 0, 0};  // 4 GB
  FakeRegistry registry;
  for (const std::wstring& entry : {a, b, c, d, f, g}) registry.Text(entry, L"HardwareInformation.AdapterString", L"x");
  registry.Text(a, L"Device Description", L"Orvanta adapter").Value(a, kSize, REG_DWORD, size)
      .Text(b, L"Device Description", L"Orvanta adapter").Value(b, kSize, REG_BINARY, size)
      .Text(c, L"DriverDesc", L"Orvanta binary").Value(c, kSize, REG_BINARY, {0, 0, 0, 8, 0xFF, 0xFF})
      .Text(d, L"Device Description", L"Orvanta described").Text(d, L"DriverDesc", L"Orvanta driver")
      .Text(d, kSize, L"64 MB").Value(d, kSize64, REG_QWORD, size64)
      .Text(e, L"Device Description", L"Orvanta plain").Value(e, kSize, REG_DWORD, size)
      .Text(f, L"Device Description", L"Orvanta sizeless").Value(f, kSize64, REG_QWORD, size64)
      .Text(g, L"DriverDesc", L"Orvanta short").Value(g, kSize, REG_DWORD, {0, 0, 1});
  const auto find = [&](const wchar_t* name) { return FindAdapterMemorySize(registry, name).value_or(L"none"); };
  EXPECT_EQ(find(L"Orvanta adapter\n"), L"128.0MB") << "trimmed, and the services first";
  EXPECT_EQ(find(L" Orvanta binary"), L"128.0 MB") << "the first word only";
  EXPECT_EQ(find(L"Orvanta short"), L"0.1MB") << "zero-padded";
  EXPECT_EQ(find(L"Orvanta described"), L"") << "a size of another type prints nothing, whatever the 64-bit size";
  EXPECT_EQ(find(L"Orvanta driver"), L"none") << "\"Device Description\" comes first";
  EXPECT_EQ(find(L"Orvanta plain"), L"none") << "no adapter string";
  EXPECT_EQ(find(L"Orvanta sizeless"), L"Unknown") << "a 64-bit size alone is not a size";
  CString report;
  WriteVRAMbyRegReport(report, registry, L"ORVANTA ADAPTER\n");
  EXPECT_EQ(report, L"Unknown") << "letter case counts";
  EXPECT_EQ(registry.open_keys, 0);
}

class FakeDirectDraw : public DisplayAdapterSource {
 public:
  FakeDirectDraw(bool available, std::wstring description)
      : available_(available), description_(std::move(description)) {}
  std::optional<std::wstring> Describe() const override {
    ++calls;
    if (!available_) return std::nullopt;
    return description_;
  }
  mutable int calls = 0;

 private:
  bool available_;
  std::wstring description_;
};

TEST(VideocardName, DirectDrawAnswersAfterDirectX5) {
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
    EXPECT_EQ(VideocardName(c.packed, directdraw, registry), c.report) << std::hex << c.packed;
    EXPECT_EQ(directdraw.calls, c.calls) << std::hex << c.packed;
  }
}

}  // namespace
}  // namespace orvanta
