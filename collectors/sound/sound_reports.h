// The sound device and sampling-format reports: the first DirectSound
// playback device by name, and the formats that the default device offers.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <memory>

#include "framework/report_text.h"

namespace orvanta {

// The default playback device, opened for the sampling-format report.
class SoundDeviceProbe {
 public:
  virtual ~SoundDeviceProbe() = default;
  // Fills |caps| (whose dwSize the caller sets) as IDirectSound::GetCaps does.
  virtual HRESULT GetCaps(DSCAPS* caps) = 0;
  // Creates a secondary buffer as |description| asks and releases it again;
  // DS_OK when the device accepted it.
  virtual HRESULT TryCreateBuffer(const DSBUFFERDESC& description) = 0;
};

// Where the sound reports get their facts: DirectSound on Windows.
class SoundSource {
 public:
  virtual ~SoundSource() = default;
  // Calls |callback| with |context| once per playback device, the primary
  // sound driver (no GUID) first, until the callback returns FALSE.
  virtual void EnumerateDevices(LPDSENUMCALLBACKW callback, void* context) const = 0;
  // The default playback device, or null when there is none or it cannot be opened.
  virtual std::unique_ptr<SoundDeviceProbe> OpenDefaultDevice() const = 0;
};

// DirectSound enumeration callback; |context| is the report (a CString).
// Skips the entry without a GUID; appends the first other device's
// description and "\n" and stops the enumeration there.
BOOL CALLBACK SoundDeviceEnumCallback(GUID* guid, const wchar_t* description, const wchar_t* module, void* context);

// One line: the description of the first playback device with a GUID, or nothing.
void WriteSoundcardReport(CString& report, const SoundSource& source);

// The 24-bit trial: three seconds of 24-bit stereo PCM at 44100 Hz in a
// static buffer with frequency, pan and volume control. |description| points
// at |format|.
void PrepareTrialBuffer(WAVEFORMATEX* format, DSBUFFERDESC* description);

// "Support 16bit", "MinSampleRate %u" and "MaxSampleRate %u" when the caps
// query succeeds with flags, then "Support 24bit" when the device accepts the
// trial buffer; each line ends with "\n". Empty when there is no default device.
void WriteSamplingFrequencyReport(CString& report, const SoundSource& source);

}  // namespace orvanta
