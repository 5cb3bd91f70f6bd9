// The WMI query runner against Wine's own WMI, and the two cached reports
// through COM, checked against what the test reads from WMI itself.
//
// The first call of either report in a process builds the cache, so the tests
// of the first call (suite WMIFirstCall) stand first here, and each also runs
// alone in a process of its own (see tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/orvanta_idl.h"
#include "tests/com/com_test_support.h"
#include "wmi/wmi_query_runner.h"

namespace orvanta::testing {
namespace {

constexpr DISPID kGetOSInfo = 1;
constexpr DISPID kGetSecuritySoftInfo = 30;

// Records the values of every result object.
class RecordingHandle : public WMIDataHandle {
 public:
  RecordingHandle(const wchar_t* name_space, const wchar_t* query, std::vector<std::wstring> names)
      : names_(std::move(names)), cells_(names_.size()), name_space_(name_space), query_(query) {
    InitData();
  }
  int HandleData(PropertyMap& properties) override {
    objects.push_back(properties);
    return 1;
  }
  void InitData() override {
    WMIDataHandle::InitData();
    SetNamespace(name_space_);
    SetQuery(query_);
  }
  int GetPropertyCount() override { return static_cast<int>(names_.size()); }
  const wchar_t* GetPropertyName(int index) override { return names_[index].c_str(); }
  std::wstring& GetPropertyCell(int index) override { return cells_[index]; }

  std::vector<PropertyMap> objects;

 private:
  std::vector<std::wstring> names_;
  std::vector<std::wstring> cells_;
  const wchar_t* name_space_;
  const wchar_t* query_;
};

const std::vector<std::wstring> kOSProperties = {L"Caption",     L"CSDVersion",  L"BuildNumber",
                                                 L"Version",     L"ProductType", L"OSArchitecture"};

RecordingHandle OperatingSystemQuery(const wchar_t* query = L"SELECT * FROM Win32_OperatingSystem") {
  return RecordingHandle(L"ROOT\\CIMV2", query, kOSProperties);
}

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\n\v\f\r");
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L" \t\n\v\f\r") - first + 1);
}

// What the test itself reads from WMI, and the two texts that follow from it.
struct MachineTexts {
  std::wstring os_text;
  std::wstring security_text;
  bool has_security_centre = false;  // the antivirus namespace answered the query
};

MachineTexts ReadMachineTexts() {
  MachineTexts texts;
  RecordingHandle os = OperatingSystemQuery();
  EXPECT_EQ(WMIQueryRunner::Run(os), 1);
  int major_version = 0;
  if (!os.objects.empty()) {
    const PropertyMap& last = os.objects.back();
    for (wchar_t c : Trimmed(last.at(L"Caption"))) {
      if (c != L'\u00AE' && c != L'\u2122') texts.os_text += c;
    }
    const std::wstring architecture = Trimmed(last.at(L"OSArchitecture"));
    const size_t blank = architecture.find(L' ');
    if (blank != std::wstring::npos && blank > 0 && _wtoi(architecture.c_str()) > 0)
      texts.os_text += L" " + std::to_wstring(_wtoi(architecture.c_str())) + L"Bit";
    if (!Trimmed(last.at(L"CSDVersion")).empty()) texts.os_text += L" " + Trimmed(last.at(L"CSDVersion"));
    if (!Trimmed(last.at(L"BuildNumber")).empty())
      texts.os_text += L" (Build:" + Trimmed(last.at(L"BuildNumber")) + L")";
    const std::wstring version = Trimmed(last.at(L"Version"));
    if (version.find(L'.') != std::wstring::npos) major_version = _wtoi(version.c_str());
  }
  RecordingHandle antivirus(major_version >= 6 ? L"ROOT\\SecurityCenter2" : L"ROOT\\SecurityCenter",
                            L"SELECT * FROM AntiVirusProduct", {L"displayName", L"versionNumber"});
  texts.has_security_centre = WMIQueryRunner::Run(antivirus) == 1;
  if (!antivirus.objects.empty()) {
    texts.security_text = Trimmed(antivirus.objects.back().at(L"displayName"));
    const std::wstring version = Trimmed(antivirus.objects.back().at(L"versionNumber"));
    if (!version.empty()) texts.security_text += L"(" + version + L")";
  }
  return texts;
}

// The apartment type of the calling thread, or -1 when COM is not initialised.
int ApartmentType() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) ? static_cast<int>(type) : -1;
}

// Runs |body| on a new thread and waits for it.
template <class Body>
void OnNewThread(Body body) {
  HANDLE thread = CreateThread(
      nullptr, 0, [](void* context) -> DWORD {
        (*static_cast<Body*>(context))();
        return 0;
      },
      &body, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

// Eight threads, each in its own apartment with its own control, make the
// first call at the same moment, half of them for each report.
struct FirstCallRace {
  HANDLE start = nullptr;
  std::wstring answers[8];
  bool answered[8] = {};
};
FirstCallRace* race = nullptr;

DWORD WINAPI CallWhenStarted(void* slot) {
  const INT_PTR index = reinterpret_cast<INT_PTR>(slot);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  {
    ComPtr<IDispatch> control = CreateControl();
    WaitForSingleObject(race->start, INFINITE);
    if (control) {
      race->answers[index] = CallReport(control.Get(), index % 2 ? kGetSecuritySoftInfo : kGetOSInfo);
      race->answered[index] = true;
    }
  }
  CoUninitialize();
  return 0;
}

TEST(WMIFirstCall, EightThreadsCallingTogetherAllGetTheCompleteTexts) {
  FirstCallRace shared;
  race = &shared;
  shared.start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE threads[8];
  for (INT_PTR i = 0; i < 8; ++i) {
    threads[i] = CreateThread(nullptr, 0, CallWhenStarted, reinterpret_cast<void*>(i), 0, nullptr);
    ASSERT_NE(threads[i], nullptr);
  }
  Sleep(500);  // let every thread create its control and wait at the start
  SetEvent(shared.start);
  EXPECT_EQ(WaitForMultipleObjects(8, threads, TRUE, 120000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(shared.start);
  race = nullptr;

  const MachineTexts expected = ReadMachineTexts();
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(shared.answered[i]) << i;
    EXPECT_EQ(shared.answers[i], i % 2 ? expected.security_text : expected.os_text) << i;
  }
}

TEST(WMIFirstCall, SecuritySoftInfoFirstBuildsBothTexts) {
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  const std::wstring security_text = CallReport(control.Get(), kGetSecuritySoftInfo);
  const std::wstring os_text = CallReport(control.Get(), kGetOSInfo);
  const MachineTexts expected = ReadMachineTexts();
  EXPECT_EQ(security_text, expected.security_text);
  EXPECT_EQ(os_text, expected.os_text);
  EXPECT_FALSE(os_text.empty());
}

TEST(WMIReports, OSInfoIsTheMachinesOSText) {
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  const MachineTexts expected = ReadMachineTexts();
  ASSERT_FALSE(expected.os_text.empty()) << "Wine's WMI gave no caption";
  EXPECT_EQ(CallReport(control.Get(), kGetOSInfo), expected.os_text);
  EXPECT_EQ(CallReport(control.Get(), kGetSecuritySoftInfo), expected.security_text);
}

TEST(WMIReports, SecuritySoftInfoIsAnEmptyStringWithoutASecurityCentre) {
  const MachineTexts expected = ReadMachineTexts();
  if (expected.has_security_centre) GTEST_SKIP() << "this machine has a security centre";
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  ScopedVariant result;
  ASSERT_EQ(InvokeMethod(control.Get(), kGetSecuritySoftInfo, result.Receive()), S_OK);
  ASSERT_EQ(result.Type(), VT_BSTR);
  ASSERT_NE(V_BSTR(&result.Get()), nullptr);
  EXPECT_EQ(SysStringByteLen(V_BSTR(&result.Get())), 0u);
}

// A thread in the multithreaded apartment gets no WMI query, so a control
// created there answers the full text only from the cache that an earlier call
// built.
TEST(WMIReports, LaterCallsAnswerFromTheCacheWithoutAQuery) {
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  const std::wstring os_text = CallReport(control.Get(), kGetOSInfo);
  const std::wstring security_text = CallReport(control.Get(), kGetSecuritySoftInfo);
  ASSERT_FALSE(os_text.empty());

  OnNewThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      RecordingHandle probe = OperatingSystemQuery();
      EXPECT_EQ(WMIQueryRunner::Run(probe), 0) << "this thread should get no query";
      // The control straight from the module, so that it answers on this thread.
      OcxModule module;
      ComPtr<IClassFactory> factory;
      ASSERT_EQ(module.GetClassObject(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
      ComPtr<IDispatch> direct;
      ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, direct.ReceiveVoid()), S_OK);
      EXPECT_EQ(CallReport(direct.Get(), kGetOSInfo), os_text);
      EXPECT_EQ(CallReport(direct.Get(), kGetSecuritySoftInfo), security_text);
    }
    CoUninitialize();
  });
  EXPECT_EQ(CallReport(control.Get(), kGetOSInfo), os_text);
}

TEST(WMIQueryRunner, OperatingSystemGivesOneObjectWithItsSixProperties) {
  RecordingHandle handle = OperatingSystemQuery();
  ASSERT_EQ(WMIQueryRunner::Run(handle), 1);
  ASSERT_EQ(handle.objects.size(), 1u);
  const PropertyMap& object = handle.objects[0];
  EXPECT_EQ(object.size(), 6u);
  for (const wchar_t* name : {L"Caption", L"BuildNumber", L"Version", L"ProductType", L"OSArchitecture"})
    EXPECT_FALSE(object.at(name).empty()) << name;
  // ProductType is a number in WMI: it arrives as its decimal text.
  EXPECT_EQ(object.at(L"ProductType"), std::to_wstring(_wtoi(object.at(L"ProductType").c_str())));
  // The same map is handed over, and it keeps the last object's values.
  EXPECT_EQ(handle.Properties(), object);
}

TEST(WMIQueryRunner, QueryWithoutObjectsRunsAndCallsNoHandler) {
  RecordingHandle handle =
      OperatingSystemQuery(L"SELECT * FROM Win32_OperatingSystem WHERE BuildNumber = 'orvanta-none'");
  EXPECT_EQ(WMIQueryRunner::Run(handle), 1);
  EXPECT_TRUE(handle.objects.empty());
  for (const auto& [name, text] : handle.Properties()) EXPECT_EQ(text, L"") << name;
}

TEST(WMIQueryRunner, MissingNamespaceGivesZero) {
  RecordingHandle handle(L"ROOT\\OrvantaNoSuchNamespace", L"SELECT * FROM AntiVirusProduct",
                         {L"displayName", L"versionNumber"});
  EXPECT_EQ(WMIQueryRunner::Run(handle), 0);
  EXPECT_TRUE(handle.objects.empty());
}

TEST(WMIQueryRunner, LeavesTheThreadsCOMStateAsItWas) {
  // This thread is in a single-threaded apartment already.
  const int before = ApartmentType();
  ASSERT_EQ(before, APTTYPE_MAINSTA);
  RecordingHandle on_main = OperatingSystemQuery();
  EXPECT_EQ(WMIQueryRunner::Run(on_main), 1);
  EXPECT_EQ(ApartmentType(), before);

  OnNewThread([] {
    EXPECT_EQ(ApartmentType(), -1);
    RecordingHandle handle = OperatingSystemQuery();
    EXPECT_EQ(WMIQueryRunner::Run(handle), 1);
    EXPECT_EQ(handle.objects.size(), 1u);
    EXPECT_EQ(ApartmentType(), -1);
  });

  OnNewThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    RecordingHandle handle = OperatingSystemQuery();
    EXPECT_EQ(WMIQueryRunner::Run(handle), 0);
    EXPECT_TRUE(handle.objects.empty());
    EXPECT_EQ(ApartmentType(), APTTYPE_MTA);
    CoUninitialize();
  });
}

}  // namespace
}  // namespace orvanta::testing
