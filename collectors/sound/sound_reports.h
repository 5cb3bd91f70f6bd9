// The sound device and sampling-format reports: the first DirectSound
// playback device by name, and the formats that the default device offers.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <optional>

#include "framework/callback_failure.h"
#include "framework/report_text.h"

namespace orvanta {

// What the enumeration callback works on: the report, and what failed inside
// the callback, for the collector to throw on once the enumeration returned.
struct SoundEnumeration {
  explicit SoundEnumeration(CString& report) : report(report) {}
  CString& report;
  CallbackFailure failure;
};

// DirectSound enumeration callback; |context| is a SoundEnumeration. Skips
// the entry without a GUID (the primary sound driver); appends the first
// other device's description and "\n" and stops the enumeration there. When
// the report cannot grow, the failure is kept and the enumeration stops.
BOOL CALLBACK SoundDeviceEnumCallback(GUID* guid, const wchar_t* description, const wchar_t* module, void* context);

// The 24-bit trial: three seconds of 24-bit stereo PCM at 44100 Hz in a
// static buffer with frequency, pan and volume control. |description| points
// at |format|, which must outlive its use.
void PrepareTrialBuffer(WAVEFORMATEX* format, DSBUFFERDESC* description);

// What the default playback device answered.
struct SamplingFacts {
  bool has_caps = false;  // GetCaps returned DS_OK
  DSCAPS caps = {};
  bool accepts_trial_buffer = false;  // CreateSoundBuffer with the 24-bit trial returned DS_OK
};

// "Support 16bit", "MinSampleRate %u" and "MaxSampleRate %u" when the caps
// query succeeded with flags, then "Support 24bit" when the device accepted
// the trial buffer; each line ends with "\n". Nothing without a device.
void WriteSamplingFrequencyReport(CString& report, const std::optional<SamplingFacts>& device);

}  // namespace orvanta
