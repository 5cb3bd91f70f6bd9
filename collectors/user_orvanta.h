// CUserOrvanta: the collectors. Each member fills the report of the dispatch
// method whose name it carries; the control makes one instance per call.
#pragma once

#include "framework/report_text.h"

namespace orvanta {

class CUserOrvanta {
 public:
  CUserOrvanta() = default;
  CUserOrvanta(const CUserOrvanta&) = delete;
  CUserOrvanta& operator=(const CUserOrvanta&) = delete;
  virtual ~CUserOrvanta() = default;

  // Processor (collectors/processor/cpu_collectors.cpp, cpuid_live.cpp).
  void GetCPUInfo(CString& report);
  void GetCPUCount(CString& report);
  void GetCPUPhysicalCount(CString& report);
  void GetCPUFrequency(CString& report);
  void GetCPUNameInfo(CString& report);

  // Memory and drives (collectors/machine/memory_drive_collectors.cpp) and
  // the system model (collectors/machine/system_model.cpp).
  void GetMemoryInfo(CString& report);
  void GetDriveInfo(CString& report);
  void GetSystemDriveInfo(CString& report);
  void GetSystemModelInfo(CString& report);

  // Sound (collectors/sound/sound_collectors.cpp).
  void GetSoundcardInfo(CString& report);
  void GetSamplingFrequencyInfo(CString& report);

  // Graphics and DirectX (collectors/graphics/, the video card's name and its
  // registry memory in videocard_collectors.cpp).
  void GetDirectXInfo(CString& report);
  void GetVertexShaderVersion(CString& report);
  void GetPixelShaderVersion(CString& report);
  void GetUnifiedShaderVersion(CString& report);
  void GetNowDisplayMode(CString& report);
  void GetDisplayModeList(CString& report);
  void GetVRAMInfo(CString& report);
  void GetALLVRAMInfo(CString& report);
  void GetVideoDriverInfo(CString& report);
  void GetVideocardNameInfo(CString& report);
  void GetVRAMbyRegInfo(CString& report);

  // Devices from the registry (collectors/devices/device_collectors.cpp).
  void GetDriverInfo(CString& report);
  void GetMediaInfo(CString& report);
  void GetNetInfo(CString& report);
  void GetModemInfo(CString& report);
  void GetCDROMInfo(CString& report);
};

// A collector as the dispatch table names it.
using Collector = void (CUserOrvanta::*)(CString& report);

}  // namespace orvanta
