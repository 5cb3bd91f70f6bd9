// The sound reports from devices and answers that the test gives.
#include <gtest/gtest.h>

#include <vector>

#include "collectors/sound/sound_reports.h"

namespace orvanta {
namespace {

struct Device {
  bool has_guid;
  const wchar_t* description;
};

TEST(SoundcardReport, NamesTheFirstDeviceWithAGuidAndStopsThere) {
  const struct {
    std::vector<Device> devices;  // as DirectSound enumerates them
    const wchar_t* report;
    size_t calls;
  } cases[] = {
      {{{false, L"Primary Sound Driver"}}, L"", 1},
      {{{false, L"Primary Sound Driver"}, {true, L"Card A"}, {true, L"Card B"}}, L"Card A\n", 2},
      {{{true, L""}, {true, L"Card B"}}, L"\n", 1},
      {{{false, L"Primary Sound Driver"}, {true, nullptr}}, L"\n", 2},
  };
  for (const auto& c : cases) {
    CString report;
    SoundEnumeration enumeration(report);
    size_t calls = 0;
    GUID guid = {};
    while (calls < c.devices.size()) {
      const Device& device = c.devices[calls++];
      if (!SoundDeviceEnumCallback(device.has_guid ? &guid : nullptr, device.description, L"", &enumeration)) break;
    }
    EXPECT_EQ(report, c.report);
    EXPECT_EQ(calls, c.calls) << c.report;
  }
  EXPECT_FALSE(SoundDeviceEnumCallback(nullptr, L"Primary Sound Driver", L"", nullptr)) << "no report";
}

TEST(SamplingFrequencyReport, LinesFollowTheCapsAndTheTrialBuffer) {
  const struct {
    bool has_caps;
    DWORD flags, min_rate, max_rate;
    bool accepts_trial_buffer;
    const wchar_t* report;
  } cases[] = {
      {true, 1, 100, 200000, true, L"Support 16bit\nMinSampleRate 100\nMaxSampleRate 200000\nSupport 24bit\n"},
      {true, 1, 8000, 48000, false, L"Support 16bit\nMinSampleRate 8000\nMaxSampleRate 48000\n"},
      {false, 1, 100, 200000, true, L"Support 24bit\n"},
      {true, 0, 100, 200000, true, L"Support 24bit\n"},
      {true, 0, 100, 200000, false, L""},
      {true, 1, 0, 0x80000000u, false, L"Support 16bit\nMinSampleRate 0\nMaxSampleRate 2147483648\n"},
  };
  for (const auto& c : cases) {
    SamplingFacts facts;
    facts.has_caps = c.has_caps;
    facts.caps.dwFlags = c.flags;
    facts.caps.dwMinSecondarySampleRate = c.min_rate;
    facts.caps.dwMaxSecondarySampleRate = c.max_rate;
    facts.accepts_trial_buffer = c.accepts_trial_buffer;
    CString report;
    WriteSamplingFrequencyReport(report, facts);
    EXPECT_EQ(report, c.report);
  }
  CString no_device;
  WriteSamplingFrequencyReport(no_device, std::nullopt);
  EXPECT_EQ(no_device, L"");
}

TEST(SamplingFrequencyReport, TrialIsThreeSecondsOf24BitStereoAt44100) {
  WAVEFORMATEX format;
  DSBUFFERDESC description;
  PrepareTrialBuffer(&format, &description);
  EXPECT_EQ(description.dwSize, sizeof(DSBUFFERDESC));
  EXPECT_EQ(description.dwFlags, 0xE2u);
  EXPECT_EQ(description.dwBufferBytes, 793800u);
  EXPECT_EQ(description.dwReserved, 0u);
  EXPECT_EQ(description.lpwfxFormat, &format);
  EXPECT_EQ(description.guid3DAlgorithm, GUID{});
  const WAVEFORMATEX expected = {WAVE_FORMAT_PCM, 2, 44100, 264600, 6, 24, 0};
  EXPECT_EQ(memcmp(&format, &expected, sizeof(format)), 0);
}

}  // namespace
}  // namespace orvanta
