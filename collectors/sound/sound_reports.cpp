// The logic of the sound reports.
#include "collectors/sound/sound_reports.h"

namespace orvanta {
namespace {

constexpr WORD kTrialChannels = 2;
constexpr DWORD kTrialSamplesPerSec = 44100;
constexpr WORD kTrialBitsPerSample = 24;
constexpr DWORD kTrialSeconds = 3;
constexpr DWORD kTrialBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

// The buffer description as 32-bit DirectSound expects it: 36 bytes.
static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC) == 36, "DSBUFFERDESC with its 3D algorithm");

}  // namespace

BOOL CALLBACK SoundDeviceEnumCallback(GUID* guid, const wchar_t* description, const wchar_t* /*module*/,
                                      void* context) {
  if (!context) return FALSE;
  if (!guid) return TRUE;
  SoundEnumeration& enumeration = *static_cast<SoundEnumeration*>(context);
  return enumeration.failure.Run(FALSE, [&] {
    if (description) enumeration.report += description;
    enumeration.report += L'\n';
    return FALSE;
  });
}

void PrepareTrialBuffer(WAVEFORMATEX* format, DSBUFFERDESC* description) {
  *format = WAVEFORMATEX{};
  format->wFormatTag = WAVE_FORMAT_PCM;
  format->nChannels = kTrialChannels;
  format->nSamplesPerSec = kTrialSamplesPerSec;
  format->nBlockAlign = kTrialChannels * kTrialBitsPerSample / 8;
  format->nAvgBytesPerSec = kTrialSamplesPerSec * format->nBlockAlign;
  format->wBitsPerSample = kTrialBitsPerSample;

  *description = DSBUFFERDESC{};
  description->dwSize = sizeof(DSBUFFERDESC);
  description->dwFlags = kTrialBufferFlags;
  description->dwBufferBytes = kTrialSeconds * format->nAvgBytesPerSec;
  description->lpwfxFormat = format;
}

void WriteSamplingFrequencyReport(CString& report, const std::optional<SamplingFacts>& device) {
  if (!device) return;
  if (device->has_caps && device->caps.dwFlags != 0) {
    report += L"Support 16bit\n";
    // Unsigned: a rate is never negative, however large.
    AppendFormat(report, L"MinSampleRate %u\n", static_cast<unsigned>(device->caps.dwMinSecondarySampleRate));
    AppendFormat(report, L"MaxSampleRate %u\n", static_cast<unsigned>(device->caps.dwMaxSecondarySampleRate));
  }
  if (device->accepts_trial_buffer) report += L"Support 24bit\n";
}

}  // namespace orvanta
