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
#include "tests/com/method_contract.h"
#include "wmi/wmi_query_runner.h"

namespace orvanta::testing {
namespace {

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

// The OS text as the test composes it: the caption from its own query, the
// service pack and build from the version record. Wine names the architecture
// "64-bit" (or "32-bit"), without the blank that the report takes the number
// before, so the text has no architecture piece.
std::wstring ExpectedOSText() {
  RecordingHandle query = OSQuery();
  EXPECT_EQ(WMIQueryRunner::Run(query), 1);
  if (query.objects.size() != 1 || query.objects[0][L"Caption"].empty()) return L"(no caption)";
  EXPECT_EQ(query.objects[0][L"OSArchitecture"].find(L' '), std::wstring::npos);
  using GetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  reinterpret_cast<GetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")))(&version);
  std::wstring text = query.objects[0][L"Caption"];
  if (version.szCSDVersion[0]) text += std::wstring(L" ") + version.szCSDVersion;
  return text + L" (Build:" + std::to_wstring(version.dwBuildNumber) + L")";
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
    answers[index] = CallReport(control.Get(), index % 2 ? IdOf(L"GetSecuritySoftInfo") : IdOf(L"GetOSInfo"));
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
  const std::wstring os = ExpectedOSText();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(answers[i], i % 2 ? L"" : os) << i;
}

// Wine has no security centre: only the empty answer (an empty string, not a
// null one) can be judged here. The text of a product is judged on planted
// properties in the handler's unit tests.
TEST(WMIFirstCall, SecuritySoftInfoFirstBuildsBothTexts) {
  RecordingHandle centre(L"ROOT\\SecurityCenter2", L"SELECT * FROM AntiVirusProduct");
  ASSERT_EQ(WMIQueryRunner::Run(centre), 0) << "this machine has a security centre: the test cannot judge its text";
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  ScopedVariant result;
  ASSERT_EQ(InvokeMethod(control.Get(), IdOf(L"GetSecuritySoftInfo"), result.Receive()), S_OK);
  ASSERT_EQ(result.Type(), VT_BSTR);
  ASSERT_NE(V_BSTR(&result.Get()), nullptr);
  EXPECT_EQ(SysStringByteLen(V_BSTR(&result.Get())), 0u);
  EXPECT_EQ(CallReport(control.Get(), IdOf(L"GetOSInfo")), ExpectedOSText());
}

// A thread in the multithreaded apartment gets no WMI query, so a control
// answering there can give the texts only from the cache.
TEST(WMIReports, LaterCallsAnswerFromTheCacheWithoutAQuery) {
  ComPtr<IDispatch> control = CreateControl();
  ASSERT_TRUE(control);
  const std::wstring os = CallReport(control.Get(), IdOf(L"GetOSInfo"));
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
      EXPECT_EQ(CallReport(direct.Get(), IdOf(L"GetOSInfo")), os);
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
