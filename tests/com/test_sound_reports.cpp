// The sound reports through COM, against what DirectSound tells the test. The
// harness offers one null ALSA output; the test com_tests_without_sound runs
// these cases again with ORVANTA_HARNESS_SOUND=none, where ALSA has no device.
#include <gtest/gtest.h>
#include <windows.h>
#include <dsound.h>

#include <optional>
#include <string>

#include "tests/com/com_test_support.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

bool HarnessWithoutSound() {
  wchar_t value[8] = {};
  return GetEnvironmentVariableW(L"ORVANTA_HARNESS_SOUND", value, 8) == 4 && std::wstring(value) == L"none";
}

// Keeps the description of the first device with a GUID.
BOOL CALLBACK KeepFirstWithGuid(GUID* guid, const wchar_t* description, const wchar_t*, void* context) {
  if (guid) *static_cast<std::optional<std::wstring>*>(context) = description;
  return !guid;
}

TEST(SoundReports, SoundcardIsTheFirstDeviceListedWithAGuid) {
  std::optional<std::wstring> first;
  DirectSoundEnumerateW(KeepFirstWithGuid, &first);
  ASSERT_EQ(first.has_value(), !HarnessWithoutSound()) << "the harness's sound set-up";
  EXPECT_EQ(CallReport(CreateControl().Get(), IdOf(L"GetSoundcardNameInfo")), first ? *first + L"\n" : L"");
}

TEST(SoundReports, SamplingFrequencyIsWhatCapsAndA24BitBufferGive) {
  std::wstring expected;
  ComPtr<IDirectSound> device;
  const bool opened = DirectSoundCreate(nullptr, device.Receive(), nullptr) == DS_OK;
  ASSERT_EQ(opened, !HarnessWithoutSound()) << "the harness's sound set-up";
  if (opened) {
    DSCAPS caps = {};
    caps.dwSize = sizeof(caps);
    if (device->GetCaps(&caps) == DS_OK && caps.dwFlags != 0) {
      expected = L"Support 16bit\nMinSampleRate " + std::to_wstring(caps.dwMinSecondarySampleRate) +
                 L"\nMaxSampleRate " + std::to_wstring(caps.dwMaxSecondarySampleRate) + L"\n";
    }
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 264600, 6, 24, 0};  // 24-bit stereo, three seconds:
    DSBUFFERDESC description = {sizeof(description), 0xE2, 793800, 0, &format, {}};
    ComPtr<IDirectSoundBuffer> buffer;
    if (device->CreateSoundBuffer(&description, buffer.Receive(), nullptr) == DS_OK) expected += L"Support 24bit\n";
    ASSERT_NE(expected, L"") << "the null output offers neither 16 nor 24 bits";
  }
  device.Reset();
  EXPECT_EQ(CallReport(CreateControl().Get(), IdOf(L"GetSamplingFrequency")), expected);
}

}  // namespace
}  // namespace orvanta::testing
