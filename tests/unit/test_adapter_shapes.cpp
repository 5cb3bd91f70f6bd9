// Display adapters as Windows XP to 11 and their drivers store them: where
// the keys are, the values' names, types and sizes, and machines with more
// than one adapter. One row per machine; the device walk, the video card's
// name from the registry and the search for its memory run over each.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "collectors/devices/device_reports.h"
#include "collectors/devices/device_walk.h"
#include "collectors/graphics/videocard.h"
#include "tests/unit/fake_registry.h"

namespace orvanta {
namespace {

using testing::FakeRegistry;

const std::wstring kMachine = L"SYSTEM\\CurrentControlSet\\";
const std::wstring kDisplayGuid = L"{4d36e968-e325-11ce-bfc1-08002be10318}";
constexpr uint64_t kMB = 1 << 20, kGB = kMB << 10;

struct Value {
  const wchar_t* name;
  DWORD type;
  std::vector<BYTE> data;
};

// The |size| low bytes of |number|, little-endian.
std::vector<BYTE> Bytes(uint64_t number, size_t size) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(number >> (8 * i));
  return bytes;
}

// Drivers write the adapter's name as UTF-16 in REG_BINARY, some without the terminator.
Value AdapterString(const std::wstring& text, bool terminated = true) {
  std::vector<BYTE> data = testing::UnterminatedText(text);
  if (terminated) data.insert(data.end(), sizeof(wchar_t), 0);
  return {L"HardwareInformation.AdapterString", REG_BINARY, std::move(data)};
}
// 4 bytes of REG_BINARY or a REG_DWORD; capped at 0xFFF00000 on large cards.
Value MemorySize(DWORD type, uint64_t bytes) { return {L"HardwareInformation.MemorySize", type, Bytes(bytes, 4)}; }
Value MemorySize64(DWORD type, uint64_t bytes, size_t size = 8) {
  return {L"HardwareInformation.qwMemorySize", type, Bytes(bytes, size)};
}

struct Adapter {
  std::wstring service;      // the service that lists the adapter in its Enum key
  std::wstring instance;     // the adapter's key below Enum
  std::wstring device_desc;  // its DeviceDesc there, as Windows stores it
  std::wstring driver_desc;  // the description that its driver writes
  std::vector<Value> hardware;
};

struct Machine {
  const char* shape;
  // Windows XP: the driver's values in the Device0 key below its service,
  // with "Device Description". Later: in the class key Class\{Display}\000N
  // and its mirror Control\Video\{adapter}\0000, with "DriverDesc".
  bool xp;
  std::vector<Adapter> adapters;
  std::wstring display_devices;  // the Display devices, as the registry lists them
  // GetVRAMbyRegInfo for the video card's name as DirectDraw gives it, or
  // ("") as the registry lists it.
  std::vector<std::pair<std::wstring, std::wstring>> memory;
};

FakeRegistry Install(const Machine& machine) {
  FakeRegistry registry;
  registry.Text(kMachine + L"Control\\Class\\" + kDisplayGuid, L"", L"Display adapters");
  for (size_t index = 0; index < machine.adapters.size(); ++index) {
    const Adapter& adapter = machine.adapters[index];
    const std::wstring driver = kDisplayGuid + L"\\000" + std::to_wstring(index);
    const std::wstring service = kMachine + L"Services\\" + adapter.service;
    const std::wstring instance = kMachine + L"Enum\\" + adapter.instance;
    const std::wstring video = kMachine + L"Control\\Video\\{5A1F0E9" + std::to_wstring(index) + L"-0000}\\";
    registry.Text(service, L"Group", L"Video")
        .Value(service + L"\\Enum", L"Count", REG_DWORD, Bytes(1, 4))
        .Text(service + L"\\Enum", L"0", adapter.instance)
        .Text(instance, L"ClassGUID", kDisplayGuid)
        .Text(instance, L"DeviceDesc", adapter.device_desc)
        .Text(instance, L"Driver", driver)
        .Text(instance, L"Service", adapter.service);
    if (!machine.xp) registry.Text(video + L"Video", L"Service", adapter.service);
    const std::pair<std::wstring, const wchar_t*> entries[] = {
        {kMachine + L"Control\\Class\\" + driver, L"DriverDesc"},
        machine.xp ? std::pair{service + L"\\Device0", L"Device Description"} : std::pair{video + L"0000", L"DriverDesc"},
    };
    for (const auto& [entry, description] : entries) {
      registry.Text(entry, description, adapter.driver_desc);
      for (const Value& value : adapter.hardware) registry.Value(entry, value.name, value.type, value.data);
    }
  }
  return registry;
}

class NoDirectDraw : public DisplayAdapterSource {
 public:
  std::optional<std::wstring> Describe() const override { return std::nullopt; }
};

TEST(DisplayAdapterShapes, NamesAndMemoryFollowTheRulesOnEveryShape) {
  const Machine machines[] = {
      {"Windows XP, one card",
       true,
       {{L"nv", L"PCI\\VEN_10DE&DEV_0141&SUBSYS_00000000&REV_A2\\4&2B5A9E61&0&0008", L"NVIDIA GeForce 6600",
         L"NVIDIA GeForce 6600", {AdapterString(L"GeForce 6600"), MemorySize(REG_BINARY, 256 * kMB)}}},
       L"NVIDIA GeForce 6600\n",
       {{L"NVIDIA GeForce 6600", L"256.0 MB"}, {L"", L"256.0 MB"}}},
      {"Windows 10, a card of 8 GB",
       false,
       {{L"nvlddmkm", L"PCI\\VEN_10DE&DEV_1B80&SUBSYS_119E10DE&REV_A1\\4&1C3D25BB&0&0019",
         L"@oem21.inf,%nvidia_dev.1b80%;NVIDIA GeForce GTX 1080", L"NVIDIA GeForce GTX 1080",
         {AdapterString(L"NVIDIA GeForce GTX 1080"), MemorySize(REG_BINARY, 0xFFF00000),
          MemorySize64(REG_QWORD, 8 * kGB)}}},
       L"@oem21.inf,%nvidia_dev.1b80%;NVIDIA GeForce GTX 1080\n",
       // The registry's name is an indirect string, which no description equals.
       {{L"NVIDIA GeForce GTX 1080", L"8192.0 MB"}, {L"", L"Unknown"}}},
      {"Windows 11, a card of 16 GB: a REG_DWORD size, the 64-bit one in REG_BINARY, an unterminated name",
       false,
       {{L"amdkmdag", L"PCI\\VEN_1002&DEV_73BF&SUBSYS_0E3A1002&REV_C1\\6&2A1B3C4D&0&00000019",
         L"@oem5.inf,%amd73bf.1%;AMD Radeon RX 6800 XT", L"AMD Radeon RX 6800 XT",
         {AdapterString(L"AMD Radeon RX 6800 XT", false), MemorySize(REG_DWORD, 0xFFF00000),
          MemorySize64(REG_BINARY, 16 * kGB)}}},
       L"@oem5.inf,%amd73bf.1%;AMD Radeon RX 6800 XT\n",
       {{L"AMD Radeon RX 6800 XT", L"16384.0MB"}}},
      {"a hybrid laptop: integrated and discrete",
       false,
       {{L"igfx", L"PCI\\VEN_8086&DEV_3E9B&SUBSYS_08E41028&REV_02\\3&11583659&0&10",
         L"@oem3.inf,%icflhalogt2%;Intel(R) UHD Graphics 630", L"Intel(R) UHD Graphics 630",
         {AdapterString(L"Intel(R) UHD Graphics Family"), MemorySize(REG_DWORD, kGB), MemorySize64(REG_QWORD, kGB)}},
        {L"nvlddmkm", L"PCI\\VEN_10DE&DEV_1C8D&SUBSYS_08E41028&REV_A1\\4&3A0F3C2E&0&0008",
         L"@oem12.inf,%nvidia_dev.1c8d%;NVIDIA GeForce GTX 1050", L"NVIDIA GeForce GTX 1050",
         {AdapterString(L"NVIDIA GeForce GTX 1050"), MemorySize(REG_BINARY, 0xFFF00000),
          MemorySize64(REG_QWORD, 4 * kGB)}}},
       L"@oem3.inf,%icflhalogt2%;Intel(R) UHD Graphics 630\n@oem12.inf,%nvidia_dev.1c8d%;NVIDIA GeForce GTX 1050\n",
       {{L"Intel(R) UHD Graphics 630", L"1024.0MB"}, {L"NVIDIA GeForce GTX 1050", L"4096.0 MB"}, {L"", L"Unknown"}}},
      {"a remote display adapter beside the card, whose 64-bit size has 4 bytes",
       false,
       {{L"nvlddmkm", L"PCI\\VEN_10DE&DEV_1287&SUBSYS_118A10DE&REV_A1\\4&2E5C7A3B&0&0008",
         L"@oem9.inf,%nvidia_dev.1287%;NVIDIA GeForce GT 730", L"NVIDIA GeForce GT 730",
         {AdapterString(L"NVIDIA GeForce GT 730"), MemorySize(REG_BINARY, 2 * kGB),
          MemorySize64(REG_BINARY, 3 * kGB, 4)}},
        {L"RdpIdd_IndirectDisplay", L"SWD\\RemoteDisplayEnum\\RdpIdd_IndirectDisplay&SessionId_1",
         L"@rdpidd.inf,%rdpidd.devicedesc%;Microsoft Remote Display Adapter", L"Microsoft Remote Display Adapter",
         {}}},
       L"@oem9.inf,%nvidia_dev.1287%;NVIDIA GeForce GT 730\n"
       L"@rdpidd.inf,%rdpidd.devicedesc%;Microsoft Remote Display Adapter\n",
       {{L"NVIDIA GeForce GT 730", L"2048.0 MB"}, {L"Microsoft Remote Display Adapter", L"Unknown"}}},
      {"the basic display adapter, without memory values",
       false,
       {{L"BasicDisplay", L"PCI\\VEN_1234&DEV_1111&SUBSYS_11001AF4&REV_02\\3&267A616A&0&10",
         L"@display.inf,%basicdisplay.devicedesc%;Microsoft Basic Display Adapter",
         L"Microsoft Basic Display Adapter", {AdapterString(L"Microsoft Basic Display Adapter")}}},
       L"@display.inf,%basicdisplay.devicedesc%;Microsoft Basic Display Adapter\n",
       {{L"Microsoft Basic Display Adapter", L"Unknown"}}},
  };
  for (const Machine& machine : machines) {
    SCOPED_TRACE(machine.shape);
    const FakeRegistry registry = Install(machine);
    size_t walked = 0;
    auto entry = std::make_unique<DeviceEntry>();
    ForEachServiceDevice(registry, *entry, [&](const DeviceEntry& device) {
      ++walked;
      EXPECT_STREQ(device.ClassDescription, L"Display adapters");
    });
    EXPECT_EQ(walked, machine.adapters.size());
    const CString videocard = VideocardName(0x90003, NoDirectDraw(), registry);
    EXPECT_EQ(videocard, machine.display_devices);
    CString drivers;
    WriteDeviceListReport(drivers, registry, kDisplayClass | kMediaClass | kNetClass | kModemClass);
    EXPECT_EQ(drivers, machine.display_devices);
    for (const auto& [name, memory] : machine.memory) {
      CString report;
      WriteVRAMbyRegReport(report, registry, name.empty() ? videocard : name + L"\n");
      EXPECT_EQ(report, memory) << "for " << (name.empty() ? L"the registry's name" : name);
    }
    EXPECT_EQ(registry.open_keys, 0);
  }
}

}  // namespace
}  // namespace orvanta
