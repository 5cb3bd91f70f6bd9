// The sound reports through COM, against what DirectSound tells the test.
// The harness offers one null ALSA output; the ctest entry
// com_tests_without_sound runs these cases again with no ALSA device at all
// (ORVANTA_HARNESS_SOUND=none).
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <optional>
#include <string>

#include "tests/com/com_test_support.h"

namespace orvanta::testing {
namespace {

constexpr DISPID kGetSoundcardInfo = 9;
constexpr DISPID kGetSamplingFrequencyInfo = 19;

bool HarnessWithoutSound() {
  wchar_t value[16] = {};
  const DWORD length = GetEnvironmentVariableW(L"ORVANTA_HARNESS_SOUND", value, 16);
  return length > 0 && length < 16 && std::wstring(value) == L"none";
}

// The description of the first playback device that has a GUID, if any.
std::optional<std::wstring> FirstDeviceWithAGuid() {
  std::optional<std::wstring> first;
  auto find = [](GUID* guid, const wchar_t* description, const wchar_t*, void* context) -> BOOL {
    if (!guid) return TRUE;
    *static_cast<std::optional<std::wstring>*>(context) = description;
    return FALSE;
  };
  DirectSoundEnumerateW(find, &first);
  return first;
}

class SoundReports : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_);
  }
  std::wstring Report(DISPID id) { return CallReport(control_.Get(), id); }
  ComPtr<IDirectSound> OpenDefaultDevice() {
    ComPtr<IDirectSound> device;
    if (DirectSoundCreate(nullptr, device.Receive(), nullptr) != DS_OK) device.Reset();
    return device;
  }
  ComPtr<IDispatch> control_;
};

TEST_F(SoundReports, SoundcardIsTheFirstDeviceListedWithAGuid) {
  const std::optional<std::wstring> device = FirstDeviceWithAGuid();
  ASSERT_EQ(device.has_value(), !HarnessWithoutSound()) << "the harness's sound set-up";
  EXPECT_EQ(Report(kGetSoundcardInfo), device ? *device + L"\n" : L"");
}

TEST_F(SoundReports, SamplingFrequencyIsWhatCapsAndA24BitBufferGive) {
  std::wstring expected;
  if (ComPtr<IDirectSound> device = OpenDefaultDevice()) {
    DSCAPS caps = {};
    caps.dwSize = sizeof(caps);
    if (device->GetCaps(&caps) == DS_OK && caps.dwFlags != 0) {
      expected += L"Support 16bit\nMinSampleRate " + std::to_wstring(caps.dwMinSecondarySampleRate) +
                  L"\nMaxSampleRate " + std::to_wstring(caps.dwMaxSecondarySampleRate) + L"\n";
    }
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 264600, 6, 24, 0};
    DSBUFFERDESC description = {};
    description.dwSize = sizeof(description);
    description.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
    description.dwBufferBytes = 3 * 264600;
    description.lpwfxFormat = &format;
    ComPtr<IDirectSoundBuffer> buffer;
    if (device->CreateSoundBuffer(&description, buffer.Receive(), nullptr) == DS_OK) expected += L"Support 24bit\n";
  } else {
    ASSERT_TRUE(HarnessWithoutSound()) << "the harness's null output cannot be opened";
  }
  if (!HarnessWithoutSound()) {
    ASSERT_NE(expected, L"") << "the null output offers neither 16 nor 24 bits";
  }
  EXPECT_EQ(Report(kGetSamplingFrequencyInfo), expected);
}

TEST_F(SoundReports, WithoutAnyDeviceBothReportsAreEmpty) {
  if (!HarnessWithoutSound()) GTEST_SKIP() << "runs as com_tests_without_sound";
  ASSERT_FALSE(FirstDeviceWithAGuid()) << "DirectSound still lists a device";
  ASSERT_FALSE(OpenDefaultDevice()) << "DirectSound still opens a default device";
  EXPECT_EQ(Report(kGetSoundcardInfo), L"");
  EXPECT_EQ(Report(kGetSamplingFrequencyInfo), L"");
}

}  // namespace
}  // namespace orvanta::testing
