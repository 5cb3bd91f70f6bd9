// Hostile registry data: for a fixed set of seeds, values of every type, size
// and shape are planted where the reports look (services with Enum lists,
// device, class and video keys, the processor, OEM and system information
// keys), every report runs, and each answer must be well formed.
// Everything planted is removed and every value overwritten is restored, also
// when the test fails.
#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwctype>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "control/dispatch_table.h"
#include "control/orvanta_idl.h"
#include "framework/reg_key.h"
#include "framework/scoped_handle.h"
#include "tests/com/com_test_support.h"
#include "tests/hardening/hardening_support.h"

namespace orvanta::testing {
namespace {

constexpr unsigned kSeeds[] = {1, 2, 3, 5, 8};

// ORVANTA_HOSTILE_SEEDS: how many of the seeds to run (all by default; fewer
// in the emulated guest).
size_t SeedCount() {
  const int count = CountFromEnvironment("ORVANTA_HOSTILE_SEEDS", static_cast<int>(std::size(kSeeds)));
  return std::min<size_t>(count, std::size(kSeeds));
}
// A report that takes longer than this on planted data counts as hung.
constexpr DWORD kReportsTimeoutMs = 120 * 1000;

const wchar_t kServices[] = L"SYSTEM\\CurrentControlSet\\Services";
const wchar_t kEnum[] = L"SYSTEM\\CurrentControlSet\\Enum";
const wchar_t kClass[] = L"SYSTEM\\CurrentControlSet\\Control\\Class";
const wchar_t kVideo[] = L"SYSTEM\\CurrentControlSet\\Control\\Video";
// Names no system gives its own keys.
const wchar_t kPlantedName[] = L"OrvantaHostile";
const wchar_t kPlantedEnumerator[] = L"ORVANTAHOSTILE";
const wchar_t kPlantedClassGuid[] = L"{0d7a5e31-5c2b-4f4e-9d6a-4f7256a11e01}";

// The setup classes that the device reports pick devices by, and their
// registry keys.
const wchar_t* const kSetupClasses[] = {
    L"{4d36e968-e325-11ce-bfc1-08002be10318}",  // display
    L"{4d36e96c-e325-11ce-bfc1-08002be10318}",  // sound, video and game controllers
    L"{4d36e972-e325-11ce-bfc1-08002be10318}",  // network adapters
    L"{4d36e96d-e325-11ce-bfc1-08002be10318}",  // modems
    L"{4d36e965-e325-11ce-bfc1-08002be10318}",  // CD-ROM drives
};

// The keys and values that the reports read at fixed paths; the system model
// reads the last key only when the OEM key is absent, as odd seeds leave it.
struct FixedKey {
  const wchar_t* path;
  std::vector<const wchar_t*> values;
};
const FixedKey kFixedKeys[] = {
    {L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
     {L"ProcessorNameString", L"Identifier", L"VendorIdentifier"}},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo",
     {L"AcpiOem", L"WbemOem", L"WbemProduct"}},
    {L"SYSTEM\\CurrentControlSet\\Control\\SystemInformation", {L"SystemManufacturer", L"SystemProductName"}},
};

std::wstring Join(const std::wstring& a, const std::wstring& b) { return a + L"\\" + b; }

bool KeyExists(const std::wstring& path) {
  RegKey key;
  return key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ) == ERROR_SUCCESS;
}

// The shortest ancestor of |path| (or |path| itself) that does not exist yet:
// what creating |path| adds to the registry. Empty when |path| exists.
std::wstring FirstMissing(const std::wstring& path) {
  for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
    const std::wstring prefix = path.substr(0, end);
    if (!KeyExists(prefix)) return prefix;
    if (end == std::wstring::npos) return {};
  }
}

// One value of a key as it was read: its data only when |read|.
struct ValueRecord {
  std::wstring name;
  bool read = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// Every value of |key|, in the order the registry lists them.
std::vector<ValueRecord> ReadEveryValue(const RegKey& key) {
  std::vector<ValueRecord> values;
  for (DWORD index = 0;; ++index) {
    std::vector<wchar_t> name(16384);
    DWORD name_length = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key.Get(), index, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    ValueRecord value;
    value.name.assign(name.data(), name_length);
    value.read = key.ReadValue(value.name.c_str(), &value.type, &value.data) == ERROR_SUCCESS;
    values.push_back(std::move(value));
  }
  return values;
}

// A key below HKEY_LOCAL_MACHINE as it was before the test: its values are
// put back exactly when this is destroyed, and whatever was created to reach
// it is removed. Subkeys are never planted below a saved key.
class SavedKey {
 public:
  explicit SavedKey(std::wstring path) : path_(std::move(path)), created_(FirstMissing(path_)) {
    RegKey key;
    if (!created_.empty() || key.Open(HKEY_LOCAL_MACHINE, path_.c_str(), KEY_READ) != ERROR_SUCCESS) return;
    for (ValueRecord& value : ReadEveryValue(key)) {
      if (value.read) saved_.push_back(std::move(value));
    }
  }
  SavedKey(const SavedKey&) = delete;
  SavedKey& operator=(const SavedKey&) = delete;
  ~SavedKey() {
    if (!created_.empty()) {
      DeleteKeyTree(HKEY_LOCAL_MACHINE, created_.c_str());
      return;
    }
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, path_.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) {
      ADD_FAILURE() << "cannot restore a key";
      return;
    }
    // Remove every value, then write the saved ones back.
    for (;;) {
      std::vector<wchar_t> name(16384);
      DWORD name_length = static_cast<DWORD>(name.size());
      if (RegEnumValueW(key.Get(), 0, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr) !=
              ERROR_SUCCESS ||
          RegDeleteValueW(key.Get(), name.data()) != ERROR_SUCCESS)
        break;
    }
    for (const ValueRecord& value : saved_) {
      EXPECT_EQ(RegSetValueExW(key.Get(), value.name.c_str(), 0, value.type, value.data.data(),
                               static_cast<DWORD>(value.data.size())),
                ERROR_SUCCESS);
    }
  }

 private:
  std::wstring path_;
  std::wstring created_;
  std::vector<ValueRecord> saved_;
};

// Makes hostile values from one seed.
class HostileData {
 public:
  explicit HostileData(unsigned seed) : random_(seed) {}

  size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(random_); }
  bool OneIn(size_t n) { return Below(n) == 0; }

  // Text of valid UTF-16: mostly ASCII, some other BMP characters and some
  // characters outside it, as surrogate pairs; |units| long or one more.
  std::wstring Text(size_t units) {
    std::wstring text;
    while (text.size() < units) {
      switch (Below(8)) {
        case 0:
          text += static_cast<wchar_t>(0x00a0 + Below(0xd000));  // below the surrogates
          break;
        case 1:
          text += static_cast<wchar_t>(0xd800 + Below(0x400));
          text += static_cast<wchar_t>(0xdc00 + Below(0x400));
          break;
        case 2:
          text += L"%s%d%n\\\t\r\n"[Below(10)];
          break;
        default:
          text += static_cast<wchar_t>(L' ' + Below(95));
      }
    }
    return text;
  }

  // A size in bytes: zero, odd counts, around the 520-unit and 512-unit
  // buffers, and beyond 64 KB.
  size_t Size() {
    static constexpr size_t kSizes[] = {0,    1,    2,    3,    4,    5,    7,     8,     9,    33,
                                        1022, 1023, 1024, 1025, 1026, 1038, 1039,  1040,  1041, 1042,
                                        1043, 1044, 2049, 4096, 8191, 65535, 65536, 65537, 70001};
    return OneIn(3) ? Below(64) : kSizes[Below(std::size(kSizes))];
  }

  // Data of |type| and |size| bytes: text (terminated or not, with or without
  // an embedded zero) for the string types, random bytes otherwise.
  std::vector<BYTE> Data(DWORD type, size_t size) {
    std::vector<BYTE> data(size);
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ || OneIn(4)) {
      std::wstring text = Text(size / 2 + 1);
      if (OneIn(4) && text.size() > 2) {
        const size_t at = Below(text.size());
        if (text[at] < 0xd800 || text[at] > 0xdfff) text[at] = L'\0';  // never half a pair
      }
      const size_t whole_units = size / 2;
      // The data holds whole characters only: no pair is cut in half.
      if (whole_units > 0 && text[whole_units - 1] >= 0xd800 && text[whole_units - 1] <= 0xdbff)
        text[whole_units - 1] = L' ';
      if (OneIn(2) && whole_units > 0 && (text[whole_units - 1] < 0xdc00 || text[whole_units - 1] > 0xdfff))
        text[whole_units - 1] = L'\0';
      std::memcpy(data.data(), text.data(), size);
    } else {
      for (BYTE& byte : data) byte = static_cast<BYTE>(Below(256));
    }
    return data;
  }

  DWORD Type() {
    static constexpr DWORD kTypes[] = {REG_NONE,      REG_SZ,        REG_SZ,
                                       REG_SZ,        REG_EXPAND_SZ, REG_BINARY,
                                       REG_DWORD,     REG_DWORD,     REG_DWORD_BIG_ENDIAN,
                                       REG_MULTI_SZ,  REG_QWORD,     REG_RESOURCE_LIST,
                                       0x00001234,    0x7fffffff};
    return kTypes[Below(std::size(kTypes))];
  }

  // Writes one hostile value |name| into |key|, of a string type when |text|.
  void Plant(HKEY key, const wchar_t* name, bool text = false) {
    const DWORD type = text ? REG_SZ : Type();
    const std::vector<BYTE> data = Data(type, Size());
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
  }

  // Writes |text| as REG_SZ, or a hostile value instead now and then.
  void PlantText(HKEY key, const wchar_t* name, const std::wstring& text) {
    if (OneIn(4)) return Plant(key, name);
    const std::wstring mixed = OneIn(3) ? Mixed(text) : text;
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(mixed.c_str()),
                             static_cast<DWORD>((mixed.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  // Writes |number| as REG_DWORD, or a hostile value instead now and then.
  void PlantNumber(HKEY key, const wchar_t* name, DWORD number) {
    if (OneIn(4)) return Plant(key, name);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)),
              ERROR_SUCCESS);
  }

  // A few extra values of hostile names and data.
  void PlantExtras(HKEY key) {
    for (size_t i = Below(4); i > 0; --i) {
      std::wstring name = OneIn(3) ? Text(521 + Below(200)) : Text(1 + Below(12));
      std::replace(name.begin(), name.end(), L'\0', L'_');
      Plant(key, name.c_str());
    }
  }

 private:
  // |text| in random letter case.
  std::wstring Mixed(std::wstring text) {
    for (wchar_t& c : text) c = OneIn(2) ? static_cast<wchar_t>(towupper(c)) : static_cast<wchar_t>(towlower(c));
    return text;
  }

  std::mt19937 random_;
};

RegKey CreateKey(const std::wstring& path) {
  RegKey key;
  LONG status = key.Create(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ | KEY_WRITE);
  if (status == ERROR_CHILD_MUST_BE_VOLATILE) {
    // Below HARDWARE, which lives only in memory, so must its new keys.
    HKEY created = nullptr;
    status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                             KEY_READ | KEY_WRITE, nullptr, &created, nullptr);
    key.Reset(created);
  }
  EXPECT_EQ(status, ERROR_SUCCESS);
  return key;
}

// Plants one seed's data. What it plants and overwrites is undone when the
// planting is destroyed.
class Planting {
 public:
  explicit Planting(unsigned seed) : data_(seed) {
    const std::wstring tag = std::wstring(kPlantedName) + std::to_wstring(seed);
    for (const FixedKey& fixed : kFixedKeys) {
      if (&fixed == &kFixedKeys[1] && seed % 2) continue;
      saved_.push_back(std::make_unique<SavedKey>(fixed.path));
      RegKey key = CreateKey(fixed.path);
      for (const wchar_t* name : fixed.values) {
        if (!data_.OneIn(3)) data_.Plant(key.Get(), name, data_.OneIn(2));
      }
      data_.PlantExtras(key.Get());
    }

    // Device instances under their own enumerator, with driver keys below the
    // setup classes' keys and below a class of their own.
    const std::wstring enumerator = Join(kEnum, kPlantedEnumerator);
    Track(enumerator);
    Track(Join(kClass, kPlantedClassGuid));
    const size_t devices = 1 + data_.Below(6);
    std::vector<std::wstring> instances;
    for (size_t i = 0; i < devices; ++i) {
      const std::wstring instance = Join(std::wstring(kPlantedEnumerator) + L"\\" + tag, L"Dev" + std::to_wstring(i));
      instances.push_back(instance);
      const std::wstring class_guid =
          data_.OneIn(5) ? kPlantedClassGuid : kSetupClasses[data_.Below(std::size(kSetupClasses))];
      const std::wstring driver = Join(class_guid, tag + L"_" + std::to_wstring(i));
      Track(Join(kClass, driver));

      RegKey device = CreateKey(Join(kEnum, instance));
      data_.PlantText(device.Get(), L"ClassGUID", class_guid);
      data_.PlantText(device.Get(), L"DeviceDesc", data_.Text(data_.Below(600)));
      data_.PlantText(device.Get(), L"Driver", driver);
      data_.PlantText(device.Get(), L"Mfg", data_.Text(data_.Below(40)));
      data_.PlantText(device.Get(), L"Service", tag);
      data_.PlantText(device.Get(), L"FriendlyName", data_.Text(data_.Below(600)));
      data_.PlantExtras(device.Get());

      RegKey driver_key = CreateKey(Join(kClass, driver));
      for (const wchar_t* name : {L"DeviceDesc", L"DriverDate", L"DriverVersion", L"InfPath", L"ProviderName"})
        data_.PlantText(driver_key.Get(), name, data_.Text(data_.Below(600)));
      data_.PlantExtras(driver_key.Get());
    }
    RegKey own_class = CreateKey(Join(kClass, kPlantedClassGuid));
    data_.Plant(own_class.Get(), nullptr);

    // The service that lists them: a group, a count (sometimes far more than
    // it lists), one value per instance and an instance path that leads
    // nowhere; a deep chain of subkeys; a video adapter entry two levels down.
    const std::wstring service = Join(kServices, tag);
    Track(service);
    RegKey service_key = CreateKey(service);
    data_.PlantExtras(service_key.Get());
    data_.PlantText(service_key.Get(), L"Group", data_.Text(data_.Below(30)));
    RegKey list = CreateKey(Join(service, L"Enum"));
    const DWORD count = data_.OneIn(3) ? 0xffffffffu : static_cast<DWORD>(instances.size() + data_.Below(3));
    data_.PlantNumber(list.Get(), L"Count", count);
    data_.PlantNumber(list.Get(), L"NextInstance", count);
    for (size_t i = 0; i < instances.size(); ++i) {
      const std::wstring path = data_.OneIn(6) ? Join(instances[i], L"Missing") : instances[i];
      data_.PlantText(list.Get(), std::to_wstring(i).c_str(), path);
    }
    std::wstring deep = service;
    for (int level = 0; level < 24; ++level) deep = Join(deep, L"L" + std::to_wstring(level));
    data_.PlantExtras(CreateKey(deep).Get());
    PlantVideoEntry(Join(service, L"Device0"));

    // A video adapter class of its own with numbered instances.
    const std::wstring video = Join(kVideo, std::wstring(L"{0d7a5e31-5c2b-4f4e-9d6a-") + L"4f7256a2" +
                                                std::to_wstring(1000 + seed) + L"}");
    Track(video);
    for (int i = 0; i < 2; ++i) PlantVideoEntry(Join(video, L"000" + std::to_wstring(i)));
  }
  Planting(const Planting&) = delete;
  Planting& operator=(const Planting&) = delete;
  ~Planting() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) DeleteKeyTree(HKEY_LOCAL_MACHINE, it->c_str());
    while (!saved_.empty()) saved_.pop_back();
  }

 private:
  // Notes that |path| is planted: removed with its subkeys afterwards, from
  // the shortest ancestor that did not exist before.
  void Track(const std::wstring& path) {
    const std::wstring missing = FirstMissing(path);
    if (!missing.empty()) created_.push_back(missing);
  }

  void PlantVideoEntry(const std::wstring& path) {
    RegKey entry = CreateKey(path);
    if (!data_.OneIn(4)) data_.Plant(entry.Get(), L"HardwareInformation.AdapterString");
    if (!data_.OneIn(3)) data_.PlantText(entry.Get(), L"Device Description", data_.Text(data_.Below(600)));
    if (!data_.OneIn(3)) data_.PlantText(entry.Get(), L"DriverDesc", data_.Text(data_.Below(600)));
    data_.Plant(entry.Get(), L"HardwareInformation.MemorySize");
    data_.PlantExtras(entry.Get());
  }

  HostileData data_;
  std::vector<std::unique_ptr<SavedKey>> saved_;
  std::vector<std::wstring> created_;
};

// One run of every report, in an apartment of its own, so that a report that
// hangs on planted data can be told from a slow one.
struct ReportRun {
  std::atomic<DISPID> running{0};
  HRESULT creation = E_FAIL;
  std::vector<std::pair<const OrvantaMethod*, Answer>> answers;
};

DWORD WINAPI RunReports(void* parameter) {
  ReportRun& run = *static_cast<ReportRun*>(parameter);
  ScopedApartment apartment(COINIT_APARTMENTTHREADED);
  ComPtr<IDispatch> control;
  run.creation =
      CoCreateInstance(CLSID_Orvanta, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.ReceiveVoid());
  if (FAILED(run.creation)) return 1;
  for (const OrvantaMethod& method : kOrvantaMethods) {
    if (method.id == 16 || method.id == DISPID_ABOUTBOX) continue;  // the clock, the modal box
    run.running = method.id;
    run.answers.emplace_back(&method, CallForAnswer(control.Get(), method.id));
  }
  return 0;
}

// Every value of the fixed keys, with type and data, for comparing the
// registry before and after.
std::vector<std::wstring> DumpFixedKeys() {
  std::vector<std::wstring> lines;
  for (const FixedKey& fixed : kFixedKeys) {
    lines.push_back(fixed.path);
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, fixed.path, KEY_READ) != ERROR_SUCCESS) continue;
    for (const ValueRecord& value : ReadEveryValue(key)) {
      std::wstring line = value.name;
      if (value.read) {
        line += L"|" + std::to_wstring(value.type) + L"|";
        for (BYTE byte : value.data) line += L"0123456789abcdef"[byte >> 4], line += L"0123456789abcdef"[byte & 15];
      }
      lines.push_back(line);
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(HostileRegistry, EveryReportAnswersWellFormedTextWhateverTheRegistryHolds) {
  const std::vector<std::wstring> before = DumpFixedKeys();
  for (size_t index = 0; index < SeedCount(); ++index) {
    const unsigned seed = kSeeds[index];
    SCOPED_TRACE("seed " + std::to_string(seed));
    auto planting = std::make_unique<Planting>(seed);
    ReportRun run;
    ScopedHandle thread(CreateThread(nullptr, 0, RunReports, &run, 0, nullptr));
    ASSERT_TRUE(thread);
    if (WaitForSingleObject(thread.Get(), kReportsTimeoutMs) != WAIT_OBJECT_0) {
      // A hung report cannot be stopped: put the registry back and end the
      // process with the finding.
      std::printf("[  FAILED  ] seed %u: method %ld did not finish within %lu ms\n", seed,
                  static_cast<long>(run.running.load()), kReportsTimeoutMs);
      std::fflush(stdout);
      planting.reset();
      TerminateProcess(GetCurrentProcess(), 3);
    }
    ASSERT_EQ(run.creation, S_OK);
    for (const auto& [method, answer] : run.answers) {
      const std::string fault = MalformationOf(answer, method->result);
      EXPECT_TRUE(fault.empty()) << "method " << method->id << ": " << fault;
    }
  }
  EXPECT_TRUE(DumpFixedKeys() == before) << "the fixed keys were not restored exactly";
  for (const wchar_t* planted : {kServices, kEnum, kClass, kVideo}) {
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, planted, KEY_READ), ERROR_SUCCESS);
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      // Every planted name starts with one of these two.
      EXPECT_NE(_wcsnicmp(name, kPlantedName, wcslen(kPlantedName)), 0) << "left behind";
      EXPECT_NE(_wcsnicmp(name, kPlantedClassGuid, 25), 0) << "left behind";
    }
  }
}

}  // namespace
}  // namespace orvanta::testing
