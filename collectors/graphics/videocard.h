// The video card: its name, from DirectDraw or the registry's Display devices,
// and its memory as its registry entry records it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "framework/reg_key.h"
#include "framework/report_text.h"

namespace orvanta {

// DirectDraw's name for the default display adapter.
class DisplayAdapterSource {
 public:
  virtual ~DisplayAdapterSource() = default;
  // The adapter's description, empty when the adapter identifier cannot be
  // read; nullopt when DirectDraw or its IDirectDraw4 interface cannot be had.
  virtual std::optional<std::wstring> Describe() const = 0;
};

// The video card report's text. With DirectX newer than 5.0 (|directx_packed|
// > 0x50000) and DirectDraw at hand, the one line DirectDraw gives;
// otherwise the Display devices, one per line (see WriteDeviceListReport).
CString VideocardName(DWORD directx_packed, const DisplayAdapterSource& directdraw, const RegistrySource& registry);

// Looks for the adapter entry named |adapter_name| two levels below
// "System\CurrentControlSet\Services", then below
// "System\CurrentControlSet\Control\Video". An entry qualifies when it has a
// readable "HardwareInformation.AdapterString" and a REG_SZ description
// ("Device Description", else "DriverDesc") equal to the name, both without
// surrounding white space, case-sensitively. The first such entry's memory
// size text; nullopt when no entry qualifies. The size is the first 32-bit
// word of "HardwareInformation.MemorySize" (zero-padded when shorter), which
// drivers cap on cards of 4 GB and more, unless the entry also has the 64-bit
// "HardwareInformation.qwMemorySize" (exactly 8 bytes of REG_QWORD or
// REG_BINARY), which is then the size. "Unknown" when
// "HardwareInformation.MemorySize" cannot be read; its type chooses the
// format (see FormatAdapterMemorySize).
std::optional<CString> FindAdapterMemorySize(const RegistrySource& registry, const wchar_t* adapter_name);

// |bytes| in megabytes as text: "%.1f MB" when |type|, the type of
// "HardwareInformation.MemorySize", is REG_BINARY, "%.1fMB" when it is
// REG_DWORD, empty for any other type.
CString FormatAdapterMemorySize(DWORD type, uint64_t bytes);

// |description| and |name| equal after white space is removed from both ends
// of each; letter case counts.
bool SameAdapterName(const wchar_t* description, const wchar_t* name);

// The registry video memory report: the memory size of the adapter that the
// video card's name (its whole text, as VideocardName gives it) names, or
// "Unknown".
void WriteVRAMbyRegReport(CString& report, const RegistrySource& registry, const CString& videocard_report);

}  // namespace orvanta
