// The sound reports from devices and answers that the test gives.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "collectors/sound/sound_reports.h"

namespace orvanta {
namespace {

struct Device {
  bool has_guid;
  const wchar_t* description;
};

// A DirectSound stand-in: an enumeration list and one default device whose
// answers the test sets. Remembers what the report asked of it.
class FakeSound : public SoundSource {
 public:
  std::vector<Device> devices;
  bool has_default_device = true;
  HRESULT caps_result = DS_OK;
  DSCAPS caps = {};
  HRESULT buffer_result = DS_OK;

  mutable int callbacks = 0;
  mutable std::optional<DSBUFFERDESC> trial;
  mutable std::optional<WAVEFORMATEX> trial_format;

  void EnumerateDevices(LPDSENUMCALLBACKW callback, void* context) const override {
    for (const Device& device : devices) {
      GUID guid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, static_cast<BYTE>(callbacks)}};
      ++callbacks;
      if (!callback(device.has_guid ? &guid : nullptr, device.description, L"module.dll", context)) return;
    }
  }

  std::unique_ptr<SoundDeviceProbe> OpenDefaultDevice() const override {
    if (!has_default_device) return nullptr;
    return std::make_unique<Probe>(*this);
  }

 private:
  class Probe : public SoundDeviceProbe {
   public:
    explicit Probe(const FakeSound& sound) : sound_(sound) {}
    HRESULT GetCaps(DSCAPS* caps) override {
      EXPECT_EQ(caps->dwSize, sizeof(DSCAPS));
      if (sound_.caps_result == DS_OK) *caps = sound_.caps;
      return sound_.caps_result;
    }
    HRESULT TryCreateBuffer(const DSBUFFERDESC& description) override {
      sound_.trial = description;
      if (description.lpwfxFormat) sound_.trial_format = *description.lpwfxFormat;
      return sound_.buffer_result;
    }

   private:
    const FakeSound& sound_;
  };
};

std::wstring SoundcardReport(const FakeSound& sound) {
  CString report;
  WriteSoundcardReport(report, sound);
  return report;
}

std::wstring SamplingReport(const FakeSound& sound) {
  CString report;
  WriteSamplingFrequencyReport(report, sound);
  return report;
}

TEST(SoundcardReport, NamesTheFirstDeviceWithAGuidAndStopsThere) {
  struct Case {
    std::vector<Device> devices;
    const wchar_t* report;
    int callbacks;
  };
  const Case cases[] = {
      {{}, L"", 0},
      {{{false, L"Primary Sound Driver"}}, L"", 1},
      {{{false, L"Primary Sound Driver"}, {true, L"Speakers (Card A)"}}, L"Speakers (Card A)\n", 2},
      {{{false, L"Primary Sound Driver"}, {true, L"Card A"}, {true, L"Card B"}, {true, L"Card C"}}, L"Card A\n", 2},
      {{{true, L""}, {true, L"Card B"}}, L"\n", 1},
      {{{false, L"Primary Sound Driver"}, {true, nullptr}}, L"\n", 2},
  };
  for (const Case& c : cases) {
    FakeSound sound;
    sound.devices = c.devices;
    EXPECT_EQ(SoundcardReport(sound), c.report);
    EXPECT_EQ(sound.callbacks, c.callbacks) << c.report;
  }
}

TEST(SoundcardReport, CallbackWithoutAReportStopsAtOnce) {
  GUID guid = {};
  EXPECT_FALSE(SoundDeviceEnumCallback(nullptr, L"Primary Sound Driver", L"", nullptr));
  EXPECT_FALSE(SoundDeviceEnumCallback(&guid, L"Card A", L"", nullptr));
}

TEST(SamplingFrequencyReport, LinesFollowTheCapsAndTheTrialBuffer) {
  struct Case {
    bool has_device;
    HRESULT caps_result;
    DWORD flags, min_rate, max_rate;
    HRESULT buffer_result;
    const wchar_t* report;
  };
  const Case cases[] = {
      {true, DS_OK, DSCAPS_PRIMARYSTEREO, 100, 200000, DS_OK,
       L"Support 16bit\nMinSampleRate 100\nMaxSampleRate 200000\nSupport 24bit\n"},
      {true, DS_OK, DSCAPS_SECONDARY16BIT, 8000, 48000, DSERR_BADFORMAT,
       L"Support 16bit\nMinSampleRate 8000\nMaxSampleRate 48000\n"},
      {true, DSERR_GENERIC, DSCAPS_PRIMARYSTEREO, 100, 200000, DS_OK, L"Support 24bit\n"},
      {true, DS_OK, 0, 100, 200000, DS_OK, L"Support 24bit\n"},
      {true, DS_OK, 0, 100, 200000, DSERR_OUTOFMEMORY, L""},
      // Success codes other than DS_OK do not count.
      {true, S_FALSE, DSCAPS_PRIMARYSTEREO, 100, 200000, S_FALSE, L""},
      // Rates are plain unsigned decimals: no grouping, never negative.
      {true, DS_OK, 1, 0, 0x80000000u, DSERR_UNSUPPORTED,
       L"Support 16bit\nMinSampleRate 0\nMaxSampleRate 2147483648\n"},
      {false, DS_OK, DSCAPS_PRIMARYSTEREO, 100, 200000, DS_OK, L""},
  };
  for (const Case& c : cases) {
    FakeSound sound;
    sound.has_default_device = c.has_device;
    sound.caps_result = c.caps_result;
    sound.caps.dwFlags = c.flags;
    sound.caps.dwMinSecondarySampleRate = c.min_rate;
    sound.caps.dwMaxSecondarySampleRate = c.max_rate;
    sound.buffer_result = c.buffer_result;
    EXPECT_EQ(SamplingReport(sound), c.report);
    EXPECT_EQ(sound.trial.has_value(), c.has_device) << "the 24-bit trial runs whenever there is a device";
  }
}

TEST(SamplingFrequencyReport, TrialIsThreeSecondsOf24BitStereoAt44100) {
  FakeSound sound;
  SamplingReport(sound);
  ASSERT_TRUE(sound.trial && sound.trial_format);
  const DSBUFFERDESC& description = *sound.trial;
  EXPECT_EQ(description.dwSize, sizeof(DSBUFFERDESC));
  EXPECT_EQ(description.dwFlags, 0xE2u);
  EXPECT_EQ(description.dwBufferBytes, 793800u);
  EXPECT_EQ(description.dwReserved, 0u);
  EXPECT_EQ(description.guid3DAlgorithm, GUID{});

  const WAVEFORMATEX& format = *sound.trial_format;
  EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(format.nChannels, 2);
  EXPECT_EQ(format.nSamplesPerSec, 44100u);
  EXPECT_EQ(format.nAvgBytesPerSec, 264600u);
  EXPECT_EQ(format.nBlockAlign, 6);
  EXPECT_EQ(format.wBitsPerSample, 24);
  EXPECT_EQ(format.cbSize, 0);
}

}  // namespace
}  // namespace orvanta
