// CUserOrvanta::GetSoundcardInfo and GetSamplingFrequencyInfo: the Windows
// side of the sound reports. dsound.dll is loaded by name, so that a system
// without DirectSound only loses these two reports.
#include "collectors/sound/sound_reports.h"
#include "collectors/user_orvanta.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta {
namespace {

using DirectSoundEnumerateWFn = HRESULT(WINAPI*)(LPDSENUMCALLBACKW, void*);
using DirectSoundCreateFn = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);

class LiveSoundDevice : public SoundDeviceProbe {
 public:
  explicit LiveSoundDevice(ComPtr<IDirectSound> device) : device_(std::move(device)) {}

  HRESULT GetCaps(DSCAPS* caps) override { return device_->GetCaps(caps); }
  HRESULT TryCreateBuffer(const DSBUFFERDESC& description) override {
    ComPtr<IDirectSoundBuffer> buffer;
    return device_->CreateSoundBuffer(&description, buffer.Receive(), nullptr);
  }

 private:
  ComPtr<IDirectSound> device_;
};

// DirectSound as dsound.dll offers it. Objects it hands out must not outlive it.
class LiveSoundSource : public SoundSource {
 public:
  LiveSoundSource()
      : dsound_(L"dsound.dll"),
        enumerate_(dsound_.Find<DirectSoundEnumerateWFn>("DirectSoundEnumerateW")),
        create_(dsound_.Find<DirectSoundCreateFn>("DirectSoundCreate")) {}

  void EnumerateDevices(LPDSENUMCALLBACKW callback, void* context) const override {
    if (enumerate_) enumerate_(callback, context);
  }

  std::unique_ptr<SoundDeviceProbe> OpenDefaultDevice() const override {
    if (!create_) return nullptr;
    ComPtr<IDirectSound> device;
    if (create_(nullptr, device.Receive(), nullptr) != DS_OK || !device) return nullptr;
    return std::make_unique<LiveSoundDevice>(std::move(device));
  }

 private:
  ScopedLibrary dsound_;
  DirectSoundEnumerateWFn enumerate_;
  DirectSoundCreateFn create_;
};

}  // namespace

void CUserOrvanta::GetSoundcardInfo(CString& report) { WriteSoundcardReport(report, LiveSoundSource()); }

void CUserOrvanta::GetSamplingFrequencyInfo(CString& report) {
  WriteSamplingFrequencyReport(report, LiveSoundSource());
}

}  // namespace orvanta
