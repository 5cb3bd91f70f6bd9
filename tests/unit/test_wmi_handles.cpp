// The WMI handlers' string rules with maps filled by hand, the conversion of
// property values to text, and the build-once cache under racing threads.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "framework/built_once.h"
#include "wmi/info_handles.h"

namespace orvanta {
namespace {

struct OSObject {
  std::wstring caption, csd_version, build_number, version, architecture;
};

void Fill(PropertyMap& map, const OSObject& object) {
  map.at(L"Caption") = object.caption;
  map.at(L"CSDVersion") = object.csd_version;
  map.at(L"BuildNumber") = object.build_number;
  map.at(L"Version") = object.version;
  map.at(L"OSArchitecture") = object.architecture;
}

struct OSCase {
  const char* name;
  OSObject object;
  std::wstring text;
  int major_version;
};

const OSCase kOSCases[] = {
    {"signs removed, all pieces",
     {L"Microsoft\u00AE Windows\u00AE 7 Professional", L"Service Pack 1", L"7601", L"6.1.7601", L"64 Bit"},
     L"Microsoft Windows 7 Professional 64Bit Service Pack 1 (Build:7601)", 6},
    {"only signs", {L"\u00AE\u2122\u00AE", L"Service Pack 3", L"2600", L"5.1.2600", L"32 Bit"}, L"", 5},
    {"signs inside keep the text around them",
     {L"Windows\u2122Server\u00AE 2008 \u2122R2", L"", L"", L"", L""}, L"WindowsServer 2008 R2", 0},
    {"blank and sign at the end keep the blank",
     {L"Microsoft Windows XP \u00AE", L"Service Pack 3", L"2600", L"5.1.2600", L""},
     L"Microsoft Windows XP  Service Pack 3 (Build:2600)", 5},
    {"values trimmed", {L" \tWindows 10 Pro\r\n", L"  ", L" 19045 ", L" 10.0.19045 ", L" 64 bit "},
     L"Windows 10 Pro 64Bit (Build:19045)", 10},
    {"version of one piece", {L"Windows", L"", L"", L"6", L""}, L"Windows", 0},
    {"version with empty pieces", {L"Windows", L"", L"", L"6..", L""}, L"Windows", 6},
    {"version not a number", {L"Windows", L"", L"", L"x.1", L""}, L"Windows", 0},
    {"architecture without a blank", {L"Windows", L"", L"", L"", L"64-bit"}, L"Windows", 0},
    {"architecture starting with a blank after trimming", {L"Windows", L"", L"", L"", L"\t 32 Bit"},
     L"Windows 32Bit", 0},
    {"architecture not a number", {L"Windows", L"", L"", L"", L"x64 based"}, L"Windows", 0},
    {"architecture zero", {L"Windows", L"", L"", L"", L"0 Bit"}, L"Windows", 0},
    {"empty service pack, no doubled blank", {L"Windows", L"", L"1", L"", L"64 Bit"},
     L"Windows 64Bit (Build:1)", 0},
    {"empty caption", {L"", L"Service Pack 1", L"7601", L"6.1.7601", L"64 Bit"}, L"", 6},
};

TEST(OSInfoHandler, ComposesTheOSTextByItsRules) {
  for (const OSCase& test : kOSCases) {
    SCOPED_TRACE(test.name);
    std::wstring output = L"stale";
    OSInfoWMIDataHandle handle(output);
    Fill(handle.Properties(), test.object);
    EXPECT_EQ(handle.HandleData(handle.Properties()), test.text.empty() ? 0 : 1);
    EXPECT_EQ(output, test.text);
    EXPECT_EQ(handle.MajorVersion(), test.major_version);
  }
}

TEST(OSInfoHandler, StartsWithOneEmptyEntryPerPropertyAndItsQuery) {
  std::wstring output;
  OSInfoWMIDataHandle handle(output);
  const PropertyMap expected = {{L"Caption", L""},     {L"CSDVersion", L""},  {L"BuildNumber", L""},
                                {L"Version", L""},     {L"ProductType", L""}, {L"OSArchitecture", L""}};
  EXPECT_EQ(handle.Properties(), expected);
  EXPECT_EQ(handle.Namespace(), L"ROOT\\CIMV2");
  EXPECT_EQ(handle.Query(), L"SELECT * FROM Win32_OperatingSystem");
  EXPECT_EQ(handle.MajorVersion(), 0);
}

TEST(OSInfoHandler, TheLastObjectDecidesTheText) {
  std::wstring output;
  OSInfoWMIDataHandle handle(output);
  Fill(handle.Properties(), {L"First", L"Service Pack 2", L"1", L"6.0.1", L"32 Bit"});
  handle.HandleData(handle.Properties());
  // The second object brings a caption only; the other values carry over.
  handle.Properties().at(L"Caption") = L"Second";
  handle.HandleData(handle.Properties());
  EXPECT_EQ(output, L"Second 32Bit Service Pack 2 (Build:1)");
  // A third whose caption is empty leaves no text at all.
  handle.Properties().at(L"Caption") = L"\u2122";
  EXPECT_EQ(handle.HandleData(handle.Properties()), 0);
  EXPECT_EQ(output, L"");
  EXPECT_EQ(handle.MajorVersion(), 6);
}

TEST(AntiVirusHandler, NamespaceFollowsTheMajorVersion) {
  const struct {
    int major_version;
    const wchar_t* name_space;
  } cases[] = {{0, L"ROOT\\SecurityCenter"}, {5, L"ROOT\\SecurityCenter"}, {6, L"ROOT\\SecurityCenter2"},
               {10, L"ROOT\\SecurityCenter2"}};
  for (const auto& test : cases) {
    AntiVirusWMIDataHandle handle(UseSecurityCenter2(test.major_version));
    EXPECT_EQ(handle.Namespace(), test.name_space) << test.major_version;
    EXPECT_EQ(handle.Query(), L"SELECT * FROM AntiVirusProduct");
    EXPECT_EQ(handle.Properties(), (PropertyMap{{L"displayName", L""}, {L"versionNumber", L""}}));
  }
}

TEST(AntiVirusHandler, ComposesNameAndVersion) {
  const struct {
    const wchar_t* display_name;
    const wchar_t* version_number;
    const wchar_t* text;
  } cases[] = {
      {L"Guard", L"4.18.1", L"Guard(4.18.1)"},
      {L" Guard \n", L"\t4.18.1 ", L"Guard(4.18.1)"},
      {L"Guard", L"", L"Guard"},
      {L"", L"4.18.1", L"(4.18.1)"},
      {L"", L"", L""},
  };
  for (const auto& test : cases) {
    AntiVirusWMIDataHandle handle(1);
    handle.Properties().at(L"displayName") = test.display_name;
    handle.Properties().at(L"versionNumber") = test.version_number;
    EXPECT_EQ(handle.HandleData(handle.Properties()), 1);
    EXPECT_EQ(SecuritySoftText(handle), test.text);
  }
  AntiVirusWMIDataHandle nothing_found(1);
  EXPECT_EQ(SecuritySoftText(nothing_found), L"");
}

TEST(AntiVirusHandler, SecondProductWithoutVersionShowsTheFirstProductsVersion) {
  AntiVirusWMIDataHandle handle(1);
  handle.Properties().at(L"displayName") = L"First";
  handle.Properties().at(L"versionNumber") = L"1.0";
  handle.HandleData(handle.Properties());
  // The runner leaves an unreadable value as the previous product gave it.
  handle.Properties().at(L"displayName") = L"Second";
  handle.HandleData(handle.Properties());
  EXPECT_EQ(SecuritySoftText(handle), L"Second(1.0)");
}

// A VARIANT of one type with its value, for the conversion table.
struct Value {
  VARIANT variant;
  explicit Value(VARTYPE type) {
    VariantInit(&variant);
    V_VT(&variant) = type;
  }
};

TEST(PropertyText, ConvertsTheTypesOfTheTable) {
  const struct {
    const char* name;
    VARTYPE type;
    LONGLONG number;
    std::wstring text;
  } cases[] = {
      {"VT_I2 -1", VT_I2, -1, L"-1"},
      {"VT_I2 lowest", VT_I2, SHRT_MIN, L"-32768"},
      {"VT_I4", VT_I4, 18, L"18"},
      {"VT_I4 lowest", VT_I4, INT_MIN, L"-2147483648"},
      {"VT_I8 lowest", VT_I8, LLONG_MIN, L"-9223372036854775808"},
      {"VT_I8 highest", VT_I8, LLONG_MAX, L"9223372036854775807"},
  };
  for (const auto& test : cases) {
    Value value(test.type);
    if (test.type == VT_I2) V_I2(&value.variant) = static_cast<SHORT>(test.number);
    if (test.type == VT_I4) V_I4(&value.variant) = static_cast<LONG>(test.number);
    if (test.type == VT_I8) V_I8(&value.variant) = test.number;
    std::wstring text = L"before";
    EXPECT_TRUE(StorePropertyText(value.variant, text)) << test.name;
    EXPECT_EQ(text, test.text) << test.name;
  }
}

TEST(PropertyText, TakesStringsAsTheyAreAndNullStringsAsEmpty) {
  Value value(VT_BSTR);
  const wchar_t with_zero[] = L" a\0b ";
  V_BSTR(&value.variant) = SysAllocStringLen(with_zero, 5);
  std::wstring text = L"before";
  EXPECT_TRUE(StorePropertyText(value.variant, text));
  EXPECT_EQ(text, std::wstring(with_zero, 5));
  VariantClear(&value.variant);

  Value null_string(VT_BSTR);
  V_BSTR(&null_string.variant) = nullptr;
  EXPECT_TRUE(StorePropertyText(null_string.variant, text));
  EXPECT_EQ(text, L"");
}

TEST(PropertyText, LeavesOtherTypesUntouched) {
  const VARTYPE others[] = {VT_EMPTY, VT_NULL, VT_BOOL, VT_UI4, VT_UI8, VT_R8, VT_DATE, VT_ARRAY | VT_BSTR};
  for (const VARTYPE type : others) {
    Value value(type);
    std::wstring text = L"before";
    EXPECT_FALSE(StorePropertyText(value.variant, text)) << type;
    EXPECT_EQ(text, L"before") << type;
  }
}

// Eight threads asking a cache at once: one build, and every thread sees the
// whole value.
struct Race {
  BuiltOnce<std::wstring> cache;
  HANDLE start = nullptr;
  const std::wstring* seen[8] = {};
};
Race* race = nullptr;
LONG builds = 0;

std::wstring SlowBuild() {
  InterlockedIncrement(&builds);
  Sleep(200);  // long enough for the others to arrive while this one builds
  return L"complete";
}

DWORD WINAPI AskCache(void* slot) {
  WaitForSingleObject(race->start, INFINITE);
  race->seen[reinterpret_cast<INT_PTR>(slot)] = &race->cache.Get(SlowBuild);
  return 0;
}

TEST(BuiltOnce, ThreadsArrivingTogetherBuildOnce) {
  Race shared;
  race = &shared;
  builds = 0;
  shared.start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE threads[8];
  for (INT_PTR i = 0; i < 8; ++i) {
    threads[i] = CreateThread(nullptr, 0, AskCache, reinterpret_cast<void*>(i), 0, nullptr);
    ASSERT_NE(threads[i], nullptr);
  }
  SetEvent(shared.start);
  EXPECT_EQ(WaitForMultipleObjects(8, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(shared.start);
  EXPECT_EQ(builds, 1);
  for (const std::wstring* seen : shared.seen) {
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(*seen, L"complete");
  }
  race = nullptr;
}

TEST(BuiltOnce, AFailedBuildLeavesItNotBuilt) {
  BuiltOnce<std::wstring> cache;
  int calls = 0;
  EXPECT_THROW(cache.Get([&]() -> std::wstring {
    ++calls;
    throw std::bad_alloc();
  }),
               std::bad_alloc);
  EXPECT_EQ(cache.Get([&] {
    ++calls;
    return std::wstring(L"second");
  }),
            L"second");
  EXPECT_EQ(cache.Get([&] {
    ++calls;
    return std::wstring(L"third");
  }),
            L"second");
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace orvanta
