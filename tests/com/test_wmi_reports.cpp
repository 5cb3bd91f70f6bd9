// The WMI query runner against Wine's own WMI, and the two cached reports
// through COM, checked against what the test reads from WMI itself.
//
// The first call of either report in a process builds the cache: the tests of
// the first call (suite WMIFirstCall) stand first, and one also runs alone in
// a process of its own (see tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <vector>

#include "control/orvanta_idl.h"
#include "tests/com/com_test_support.h"
#include "wmi/info_handles.h"
#include "wmi/wmi_query_runner.h"

namespace orvanta::testing {
namespace {

constexpr DISPID kGetOSInfo = 1;
constexpr DISPID kGetSecuritySoftInfo = 30;

// Records the values of every result object of a query for six OS properties.
class RecordingHandle : public WMIDataHandle {
 public:
  RecordingHandle(const wchar_t* name_space, const wchar_t* query) : name_space_(name_space), query_(query) {
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
  int GetPropertyCount() override { return 6; }
  const wchar_t* GetPropertyName(int index) override {
    static const wchar_t* const names[] = {L"Caption",     L"CSDVersion",  L"BuildNumber",
                                           L"Version",     L"ProductType", L"OSArchitecture"};
    return names[index];
  }
  std::wstring& GetPropertyCell(int index) override { return cells_[index]; }

  std::vector<PropertyMap> objects;

 private:
  std::wstring cells_[6];
  const wchar_t *name_space_, *query_;
};

RecordingHandle OSQuery(const wchar_t* query = L"SELECT * FROM Win32_OperatingSystem") {
  return RecordingHandle(L"ROOT\\CIMV2", query);
}

// The two texts as the test itself gets them from WMI on this thread.
struct MachineTexts {
  std::wstring os, security;
  bool has_security_centre;
};
MachineTexts ReadMachineTexts() {
  MachineTexts texts;
  OSInfoWMIDataHandle os(texts.os);
  EXPECT_EQ(WMIQueryRunner::Run(os), 1);
  AntiVirusWMIDataHandle antivirus(UseSecurityCenter2(os.MajorVersion()));
  texts.has_security_centre = WMIQueryRunner::Run(antivirus) == 1;
  texts.security = SecuritySoftText(antivirus);
  return texts;
}

// The apartment type of the calling thread, or -1 when COM is not initialised.
int ApartmentType() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) ? static_cast<int>(type) : -1;
}

template <class Body>
DWORD WINAPI RunBody(void* context) {
  (*static_cast<Body*>(context))();
  return 0;
}

// Runs |body| on a new thread and waits for it.
template <class Body>
void OnNewThread(Body body) {
  HANDLE thread = CreateThread(nullptr, 0, RunBody<Body>, &body, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

// Eight threads, each in its own apartment with its own control, make the
// first call at once, half of them for each report.
HANDLE start_event;
std::wstring answers[8];

DWORD WINAPI CallWhenStarted(void* slot) {
  const INT_PTR index = reinterpret_cast<INT_PTR>(slot);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (ComPtr<IDispatch> control = CreateControl()) {
    WaitForSingleObject(start_event, INFINITE);
    answers[index] = CallReport(control.Get(), index % 2 ? kGetSecuritySoftInfo : kGetOSInfo);
  }
  CoUninitialize();
  return 0;
}

TEST(WMIFirstCall, EightThreadsCallingTogetherAllGetTheCompleteTexts) {
  start_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE threads[8];
  for (INT_PTR i = 0; i < 8; ++i)
    ASSERT_TRUE(threads[i] = CreateThread(nullptr, 0, CallWhenStarted, reinterpret_cast<void*>(i), 0, nullptr));
  Sleep(500);  // every thread has its control and waits at the start
  SetEvent(start_event);
  EXPECT_EQ(WaitForMultipleObjects(8, threads, TRUE, 120000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(start_event);
  const MachineTexts expected = ReadMachineTexts();
  ASSERT_FALSE(expected.os.empty()) << "Wine's WMI gave no caption";
  for (int i = 0; i < 8; ++i) EXPECT_EQ(answers[i], i % 2 ? expected.security : expected.os) << i;
}

TEST(WMIFirstCall, SecuritySoftInfoFirstBuildsBothTexts) {
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  const std::wstring security = CallReport(control.Get(), kGetSecuritySoftInfo);
  const MachineTexts expected = ReadMachineTexts();
  EXPECT_EQ(security, expected.security);
  EXPECT_EQ(CallReport(control.Get(), kGetOSInfo), expected.os);
  // Wine's caption has no trademark signs: the text starts with it and ends with the build.
  RecordingHandle raw = OSQuery();
  ASSERT_EQ(WMIQueryRunner::Run(raw), 1);
  ASSERT_EQ(raw.objects.size(), 1u);
  EXPECT_EQ(expected.os.find(raw.objects[0].at(L"Caption")), 0u);
  EXPECT_TRUE(expected.os.ends_with(L" (Build:" + raw.objects[0].at(L"BuildNumber") + L")")) << expected.os;
  // Wine has no security centre: an empty string, not a null one.
  if (!expected.has_security_centre) {
    ScopedVariant result;
    ASSERT_EQ(InvokeMethod(control.Get(), kGetSecuritySoftInfo, result.Receive()), S_OK);
    ASSERT_EQ(result.Type(), VT_BSTR);
    ASSERT_NE(V_BSTR(&result.Get()), nullptr);
    EXPECT_EQ(SysStringByteLen(V_BSTR(&result.Get())), 0u);
  }
}

// A thread in the multithreaded apartment gets no WMI query, so a control
// answering there can give the texts only from the cache.
TEST(WMIReports, LaterCallsAnswerFromTheCacheWithoutAQuery) {
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  const std::wstring os = CallReport(control.Get(), kGetOSInfo);
  ASSERT_FALSE(os.empty());
  OnNewThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      RecordingHandle probe = OSQuery();
      EXPECT_EQ(WMIQueryRunner::Run(probe), 0);
      OcxModule module;  // the control straight from the module answers on this thread
      ComPtr<IClassFactory> factory;
      ComPtr<IDispatch> direct;
      ASSERT_EQ(module.GetClassObject(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
      ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, direct.ReceiveVoid()), S_OK);
      EXPECT_EQ(CallReport(direct.Get(), kGetOSInfo), os);
    }
    CoUninitialize();
  });
}

TEST(WMIQueryRunner, OperatingSystemGivesOneObjectWithItsSixProperties) {
  RecordingHandle handle = OSQuery();
  ASSERT_EQ(WMIQueryRunner::Run(handle), 1);
  ASSERT_EQ(handle.objects.size(), 1u);
  for (const auto& [name, text] : handle.objects[0]) {
    if (name != L"CSDVersion") {
      EXPECT_FALSE(text.empty()) << name;
    }
  }
  const std::wstring& product_type = handle.objects[0].at(L"ProductType");  // a number in WMI
  EXPECT_EQ(product_type, std::to_wstring(_wtoi(product_type.c_str())));
  EXPECT_EQ(handle.Properties(), handle.objects[0]);
}

TEST(WMIQueryRunner, QueryWithoutObjectsAndMissingNamespace) {
  RecordingHandle none = OSQuery(L"SELECT * FROM Win32_OperatingSystem WHERE BuildNumber = 'orvanta-none'");
  EXPECT_EQ(WMIQueryRunner::Run(none), 1);
  EXPECT_TRUE(none.objects.empty());
  RecordingHandle missing(L"ROOT\\OrvantaNoSuchNamespace", L"SELECT * FROM Win32_OperatingSystem");
  EXPECT_EQ(WMIQueryRunner::Run(missing), 0);
  EXPECT_TRUE(missing.objects.empty());
}

TEST(WMIQueryRunner, LeavesTheThreadsCOMStateAsItWas) {
  ASSERT_EQ(ApartmentType(), APTTYPE_MAINSTA);
  RecordingHandle on_main = OSQuery();
  EXPECT_EQ(WMIQueryRunner::Run(on_main), 1);
  EXPECT_EQ(ApartmentType(), APTTYPE_MAINSTA);
  OnNewThread([] {
    RecordingHandle handle = OSQuery();
    EXPECT_EQ(WMIQueryRunner::Run(handle), 1);
    EXPECT_EQ(handle.objects.size(), 1u);
    EXPECT_EQ(ApartmentType(), -1);
  });
  OnNewThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    RecordingHandle handle = OSQuery();
    EXPECT_EQ(WMIQueryRunner::Run(handle), 0);
    EXPECT_TRUE(handle.objects.empty());
    EXPECT_EQ(ApartmentType(), APTTYPE_MTA);
    CoUninitialize();
  });
}

}  // namespace
}  // namespace orvanta::testing
