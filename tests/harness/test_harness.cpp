// What the test harness promises the reports: one X display of a known mode,
// Direct3D through Mesa, and exactly one playback device behind DirectSound.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>
#include <dsound.h>

#include <string>
#include <vector>

namespace {

// A DirectSound enumeration callback (stdcall on 32-bit Windows).
BOOL CALLBACK CollectDevice(GUID* guid, const wchar_t* description, const wchar_t*, void* context) {
  if (guid) static_cast<std::vector<std::wstring>*>(context)->push_back(description);
  return TRUE;
}

TEST(Harness, SoundHasOnePlaybackDeviceBesideThePrimaryDriver) {
  std::vector<std::wstring> devices;
  ASSERT_EQ(DirectSoundEnumerateW(CollectDevice, &devices), DS_OK);
  ASSERT_EQ(devices.size(), 1u);
}

TEST(Harness, Direct3D9HasAnAdapter) {
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(direct3d, nullptr);
  EXPECT_GE(direct3d->GetAdapterCount(), 1u);
  direct3d->Release();
}

TEST(Harness, DisplayIs1024By768InTrueColour) {
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
  ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  EXPECT_EQ(mode.dmPelsWidth, 1024u);
  EXPECT_EQ(mode.dmPelsHeight, 768u);
  EXPECT_EQ(mode.dmBitsPerPel, 32u);
}

}  // namespace
