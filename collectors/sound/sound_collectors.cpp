// CUserOrvanta::GetSoundcardInfo and GetSamplingFrequencyInfo: the Windows
// side of the sound reports. dsound.dll is loaded by name, so that a system
// without DirectSound only loses these two reports.
#include "collectors/sound/sound_reports.h"
#include "collectors/user_orvanta.h"
#include "framework/com_ptr.h"
#include "framework/provider_lock.h"
#include "framework/scoped_library.h"

namespace orvanta {
namespace {

using DirectSoundEnumerateWFn = HRESULT(WINAPI*)(LPDSENUMCALLBACKW, void*);
using DirectSoundCreateFn = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);

// Opens the default playback device, asks for its caps and tries the 24-bit
// trial buffer; nothing when there is no device. No cooperative level is set.
std::optional<SamplingFacts> QueryDefaultDevice() {
  const CriticalSectionLock lock(ProviderLock());
  const ScopedLibrary dsound(L"dsound.dll");
  const auto create = dsound.Find<DirectSoundCreateFn>("DirectSoundCreate");
  ComPtr<IDirectSound> device;
  if (!create || create(nullptr, device.Receive(), nullptr) != DS_OK || !device) return std::nullopt;

  SamplingFacts facts;
  facts.caps.dwSize = sizeof(facts.caps);
  facts.has_caps = device->GetCaps(&facts.caps) == DS_OK;

  WAVEFORMATEX format;
  DSBUFFERDESC description;
  PrepareTrialBuffer(&format, &description);
  ComPtr<IDirectSoundBuffer> buffer;
  facts.accepts_trial_buffer = device->CreateSoundBuffer(&description, buffer.Receive(), nullptr) == DS_OK;
  return facts;
}

}  // namespace

void CUserOrvanta::GetSoundcardInfo(CString& report) {
  SoundEnumeration enumeration(report);
  {
    const CriticalSectionLock lock(ProviderLock());
    const ScopedLibrary dsound(L"dsound.dll");
    if (const auto enumerate = dsound.Find<DirectSoundEnumerateWFn>("DirectSoundEnumerateW"))
      enumerate(SoundDeviceEnumCallback, &enumeration);
  }
  enumeration.failure.Rethrow();
}

void CUserOrvanta::GetSamplingFrequencyInfo(CString& report) {
  WriteSamplingFrequencyReport(report, QueryDefaultDevice());
}

}  // namespace orvanta
