// The WMI handlers' string rules on maps filled by hand, the conversion of
// property values to text, and the build-once cache under racing threads.
#include <gtest/gtest.h>

#include <climits>

#include "framework/built_once.h"
#include "wmi/info_handles.h"

namespace orvanta {
namespace {

// Caption, CSDVersion, BuildNumber, Version, OSArchitecture; the text; the major version.
struct OSCase {
  const wchar_t *caption, *service_pack, *build, *version, *architecture, *text;
  int major_version;
};
const OSCase kOSCases[] = {
    {L"Microsoft\u00AE Windows\u00AE 7 Professional", L"Service Pack 1", L"7601", L"6.1.7601", L"64 Bit",
     L"Microsoft Windows 7 Professional 64Bit Service Pack 1 (Build:7601)", 6},
    {L"\u00AE\u2122\u00AE", L"Service Pack 3", L"2600", L"5.1.2600", L"32 Bit", L"", 5},
    {L"Windows\u2122Server\u00AE 2008 \u2122R2", L"", L"", L"", L"", L"WindowsServer 2008 R2", 0},
    {L"Windows XP \u00AE", L"Service Pack 3", L"2600", L"5.1", L"", L"Windows XP  Service Pack 3 (Build:2600)", 5},
    {L" \tWindows 10\r\n", L"  ", L" 19045 ", L" 10.0.19045 ", L" 64 bit ", L"Windows 10 64Bit (Build:19045)", 10},
    {L"W", L"", L"", L"6", L"64-bit", L"W", 0},         // one version piece; no blank in the architecture
    {L"W", L"", L"", L"6..", L"\t 32 Bit", L"W 32Bit", 6},  // empty pieces count; trimmed before the blank
    {L"W", L"", L"", L"x.1", L"x64 based", L"W", 0},    // no numbers
    {L"W", L"", L"1", L"", L"0 Bit", L"W (Build:1)", 0},
    {L"", L"Service Pack 1", L"7601", L"6.1.7601", L"64 Bit", L"", 6},
};

void Fill(PropertyMap& map, const OSCase& object) {
  map.at(L"Caption") = object.caption;
  map.at(L"CSDVersion") = object.service_pack;
  map.at(L"BuildNumber") = object.build;
  map.at(L"Version") = object.version;
  map.at(L"OSArchitecture") = object.architecture;
}

TEST(OSInfoHandler, ComposesTheOSTextByItsRules) {
  for (const OSCase& test : kOSCases) {
    std::wstring output = L"stale";
    OSInfoWMIDataHandle handle(output);
    Fill(handle.Properties(), test);
    EXPECT_EQ(handle.HandleData(handle.Properties()), *test.text ? 1 : 0) << test.text;
    EXPECT_EQ(output, test.text);
    EXPECT_EQ(handle.MajorVersion(), test.major_version) << test.text;
    AntiVirusWMIDataHandle antivirus(UseSecurityCenter2(test.major_version));
    EXPECT_EQ(antivirus.Namespace(), test.major_version >= 6 ? L"ROOT\\SecurityCenter2" : L"ROOT\\SecurityCenter");
  }
}

TEST(OSInfoHandler, StartsEmptyAndTheLastObjectDecides) {
  std::wstring output;
  OSInfoWMIDataHandle handle(output);
  EXPECT_EQ(handle.Properties(), (PropertyMap{{L"Caption", L""}, {L"CSDVersion", L""}, {L"BuildNumber", L""},
                                              {L"Version", L""}, {L"ProductType", L""}, {L"OSArchitecture", L""}}));
  EXPECT_EQ(handle.Namespace() + L"|" + handle.Query(), L"ROOT\\CIMV2|SELECT * FROM Win32_OperatingSystem");
  Fill(handle.Properties(), {L"First", L"Service Pack 2", L"1", L"6.0.1", L"32 Bit", nullptr, 0});
  handle.HandleData(handle.Properties());
  handle.Properties().at(L"Caption") = L"Second";  // the other values carry over
  handle.HandleData(handle.Properties());
  EXPECT_EQ(output, L"Second 32Bit Service Pack 2 (Build:1)");
  handle.Properties().at(L"Caption") = L"\u2122";
  EXPECT_EQ(handle.HandleData(handle.Properties()), 0);
  EXPECT_EQ(output, L"");
}

TEST(AntiVirusHandler, ComposesNameAndVersionOfTheLastProduct) {
  AntiVirusWMIDataHandle handle(0);
  EXPECT_EQ(handle.Properties(), (PropertyMap{{L"displayName", L""}, {L"versionNumber", L""}}));
  EXPECT_EQ(handle.Query(), L"SELECT * FROM AntiVirusProduct");
  EXPECT_EQ(SecuritySoftText(handle), L"");
  // Name, version, text; each row a product following the one before.
  const wchar_t* products[][3] = {{L" Guard \n", L"\t4.18 ", L"Guard(4.18)"},
                                  {L"Guard", L"", L"Guard"},
                                  {L"", L"4.18", L"(4.18)"},
                                  {L"First", L"1.0", L"First(1.0)"},
                                  {L"Second", nullptr, L"Second(1.0)"}};  // unreadable version carries over
  for (const auto& product : products) {
    handle.Properties().at(L"displayName") = product[0];
    if (product[1]) handle.Properties().at(L"versionNumber") = product[1];
    EXPECT_EQ(handle.HandleData(handle.Properties()), 1);
    EXPECT_EQ(SecuritySoftText(handle), product[2]);
  }
}

TEST(PropertyText, ConvertsTheTypesOfTheTableAndLeavesOthers) {
  const struct {
    VARTYPE type;
    LONGLONG number;
    const wchar_t* text;
  } cases[] = {{VT_I2, -1, L"-1"},          {VT_I2, SHRT_MIN, L"-32768"},
               {VT_I4, INT_MIN, L"-2147483648"}, {VT_I8, LLONG_MIN, L"-9223372036854775808"},
               {VT_I8, LLONG_MAX, L"9223372036854775807"},
               {VT_EMPTY, 0, L"before"},     {VT_NULL, 0, L"before"}, {VT_BOOL, 1, L"before"},
               {VT_UI4, 7, L"before"},       {VT_R8, 0, L"before"},   {VT_ARRAY | VT_BSTR, 0, L"before"}};
  for (const auto& test : cases) {
    VARIANT value;
    V_VT(&value) = test.type;
    V_I8(&value) = 0;
    if (test.type == VT_I2) V_I2(&value) = static_cast<SHORT>(test.number);
    if (test.type == VT_I4 || test.type == VT_UI4) V_I4(&value) = static_cast<LONG>(test.number);
    if (test.type == VT_I8) V_I8(&value) = test.number;
    std::wstring text = L"before";
    EXPECT_EQ(StorePropertyText(value, text), std::wstring(test.text) != L"before") << test.type;
    EXPECT_EQ(text, test.text) << test.type;
  }
  VARIANT string;
  V_VT(&string) = VT_BSTR;
  V_BSTR(&string) = SysAllocStringLen(L" a\0b ", 5);
  std::wstring text;
  EXPECT_TRUE(StorePropertyText(string, text));
  EXPECT_EQ(text, std::wstring(L" a\0b ", 5));
  VariantClear(&string);
  V_VT(&string) = VT_BSTR;
  V_BSTR(&string) = nullptr;
  EXPECT_TRUE(StorePropertyText(string, text));
  EXPECT_EQ(text, L"");
}

// Eight threads ask one cache at once: one build, and all see the whole value.
BuiltOnce<std::wstring>* shared_cache;
HANDLE start_event;
LONG builds;

DWORD WINAPI AskCache(void* seen) {
  WaitForSingleObject(start_event, INFINITE);
  *static_cast<std::wstring*>(seen) = shared_cache->Get([] {
    InterlockedIncrement(&builds);
    Sleep(200);  // the others arrive while this one builds
    return std::wstring(L"complete");
  });
  return 0;
}

TEST(BuiltOnce, ThreadsArrivingTogetherBuildOnce) {
  BuiltOnce<std::wstring> cache;
  shared_cache = &cache;
  start_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::wstring seen[8];
  HANDLE threads[8];
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(threads[i] = CreateThread(nullptr, 0, AskCache, &seen[i], 0, nullptr));
  SetEvent(start_event);
  EXPECT_EQ(WaitForMultipleObjects(8, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(start_event);
  EXPECT_EQ(builds, 1);
  for (const std::wstring& text : seen) EXPECT_EQ(text, L"complete");
}

TEST(BuiltOnce, AFailedBuildLeavesItNotBuilt) {
  BuiltOnce<std::wstring> cache;
  EXPECT_THROW(cache.Get([]() -> std::wstring { throw std::bad_alloc(); }), std::bad_alloc);
  EXPECT_EQ(cache.Get([] { return std::wstring(L"second"); }), L"second");
  EXPECT_EQ(cache.Get([] { return std::wstring(L"third"); }), L"second");
}

}  // namespace
}  // namespace orvanta
