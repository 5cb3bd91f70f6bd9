#include "bench/floors.h"

#include <ddraw.h>
#include <dsound.h>
#include <intrin.h>
#include <shlwapi.h>
#include <wbemcli.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "collectors/graphics/direct3d.h"
#include "collectors/graphics/direct_draw.h"
#include "framework/com_ptr.h"
#include "framework/reg_key.h"
#include "framework/scoped_bstr.h"
#include "framework/scoped_library.h"
#include "framework/scoped_variant.h"
#include "tests/raw_dxdiag.h"

namespace orvanta::bench {
namespace {

// The name and data room that the device walk and the adapter search use.
constexpr DWORD kServiceNameChars = 520;
constexpr DWORD kAdapterNameChars = 512;
constexpr DWORD kAdapterValueBytes = 1024;

// Opens |path| and reads each of |names| once into a fixed buffer.
bool ReadValues(const wchar_t* path, std::initializer_list<const wchar_t*> names) {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
  for (const wchar_t* name : names) {
    BYTE data[1040];
    DWORD size = sizeof(data);
    RegQueryValueExW(key.Get(), name, nullptr, nullptr, data, &size);
  }
  return true;
}

bool ReadProcessorDescription() {
  ReadValues(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\OemInfo",
             {L"AcpiOem", L"WbemOem", L"WbemProduct"});
  return ReadValues(L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                    {L"ProcessorNameString", L"Identifier", L"VendorIdentifier"});
}

bool ReadSystemModel() {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\SystemInformation", KEY_READ) !=
      ERROR_SUCCESS)
    return true;  // absent: opening it was the whole cost
  DWORD type = 0;
  std::vector<BYTE> data;
  key.ReadValue(L"SystemProductName", &type, &data);
  return true;
}

bool ReadBrandString() {
  int regs[4];
  __cpuid(regs, 0x80000000);
  if (static_cast<unsigned>(regs[0]) < 0x80000004u) return false;
  char brand[49] = {};
  for (int leaf = 0; leaf < 3; ++leaf) {
    __cpuid(regs, 0x80000002 + leaf);
    std::memcpy(brand + 16 * leaf, regs, sizeof(regs));
  }
  return brand[0] != 0 || brand[47] == 0;
}

bool ReadMemoryStatus() {
  MEMORYSTATUSEX status = {};
  status.dwLength = sizeof(status);
  return GlobalMemoryStatusEx(&status) != FALSE;
}

bool ReadSystemInfo() {
  SYSTEM_INFO info = {};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0;
}

bool ReadProcessorTopology() {
  DWORD length = 0;
  GetLogicalProcessorInformation(nullptr, &length);
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) +
                                                            1);
  return GetLogicalProcessorInformation(records.data(), &length) != FALSE;
}

bool ListDrives() {
  const DWORD drives = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if (!(drives & (1u << letter))) continue;
    const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', 0};
    if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
    ULARGE_INTEGER free_bytes, total, total_free;
    GetDiskFreeSpaceExW(root, &free_bytes, &total, &total_free);
  }
  return drives != 0;
}

bool SystemDriveSpace() {
  wchar_t directory[MAX_PATH];
  if (GetSystemDirectoryW(directory, MAX_PATH) < 3) return false;
  directory[3] = 0;
  ULARGE_INTEGER free_bytes, total, total_free;
  return GetDiskFreeSpaceExW(directory, &free_bytes, &total, &total_free) != FALSE;
}

// Every service key opened and asked for its Enum subkey: the device walk.
bool WalkServices() {
  RegKey root;
  if (root.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", KEY_READ) != ERROR_SUCCESS)
    return false;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kServiceNameChars];
    DWORD length = kServiceNameChars;
    if (RegEnumKeyExW(root.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    RegKey service;
    if (service.Open(root.Get(), name, KEY_READ) != ERROR_SUCCESS) continue;
    RegKey list;
    list.Open(service.Get(), L"Enum", KEY_READ);
  }
  return true;
}

bool CreateDirectDraw() {
  const DefaultDirectDraw draw;
  if (!draw.Get()) return false;
  DDCAPS caps = {};
  caps.dwSize = sizeof(caps);
  return SUCCEEDED(draw.Get()->GetCaps(&caps, nullptr));
}

// The display adapter's name as the video card report asks for it.
bool IdentifyDirectDrawDevice() {
  const DefaultDirectDraw draw;
  ComPtr<IDirectDraw4> draw4;
  if (!draw.Get() || FAILED(draw.Get()->QueryInterface(IID_IDirectDraw4, draw4.ReceiveVoid()))) return false;
  DDDEVICEIDENTIFIER identifier = {};
  return SUCCEEDED(draw4->GetDeviceIdentifier(&identifier, 0));
}

// Every entry two levels below the services and video roots, asked for its
// adapter string: the registry search for the adapter's memory size.
bool WalkAdapterEntries() {
  for (const wchar_t* path :
       {L"System\\CurrentControlSet\\Services", L"System\\CurrentControlSet\\Control\\Video"}) {
    RegKey root;
    if (root.Open(HKEY_LOCAL_MACHINE, path, KEY_READ) != ERROR_SUCCESS) continue;
    wchar_t name[kAdapterNameChars];
    for (DWORD index = 0;; ++index) {
      DWORD length = kAdapterNameChars;
      if (SHEnumKeyExW(root.Get(), index, name, &length) != ERROR_SUCCESS) break;
      RegKey parent;
      if (parent.Open(root.Get(), name, KEY_READ) != ERROR_SUCCESS) continue;
      for (DWORD inner = 0;; ++inner) {
        length = kAdapterNameChars;
        if (SHEnumKeyExW(parent.Get(), inner, name, &length) != ERROR_SUCCESS) break;
        RegKey entry;
        if (entry.Open(parent.Get(), name, KEY_READ) != ERROR_SUCCESS) continue;
        BYTE data[kAdapterValueBytes];
        DWORD size = sizeof(data);
        RegQueryValueExW(entry.Get(), L"HardwareInformation.AdapterString", nullptr, nullptr, data, &size);
      }
    }
  }
  return true;
}

BOOL CALLBACK CountSoundDevice(GUID*, const wchar_t*, const wchar_t*, void* count) {
  ++*static_cast<int*>(count);
  return TRUE;
}

bool EnumerateSound() {
  ScopedLibrary library(L"dsound.dll");
  using EnumerateFn = HRESULT(WINAPI*)(LPDSENUMCALLBACKW, void*);
  auto enumerate = library.Find<EnumerateFn>("DirectSoundEnumerateW");
  int count = 0;
  return enumerate && SUCCEEDED(enumerate(CountSoundDevice, &count));
}

bool OpenSoundDevice() {
  ScopedLibrary library(L"dsound.dll");
  using CreateFn = HRESULT(WINAPI*)(const GUID*, IDirectSound**, IUnknown*);
  auto create = library.Find<CreateFn>("DirectSoundCreate");
  if (!create) return false;
  ComPtr<IDirectSound> sound;
  if (FAILED(create(nullptr, sound.Receive(), nullptr))) return false;
  DSCAPS caps = {};
  caps.dwSize = sizeof(caps);
  return SUCCEEDED(sound->GetCaps(&caps));
}

bool ListDisplayModes() {
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
  DWORD count = 0;
  while (EnumDisplaySettingsW(nullptr, count, &mode)) ++count;
  return count > 0;
}

// The four facts of the current mode from the display's information context.
bool CurrentDisplayMode() {
  HDC context = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
  if (!context) return false;
  int facts = 0;
  for (const int index : {HORZRES, VERTRES, BITSPIXEL, VREFRESH}) facts += GetDeviceCaps(context, index) != 0;
  DeleteDC(context);
  return facts > 0;
}

// The Direct3D runtimes, one shape for all four: the runtime loaded by file
// name and asked for what its report needs, through the control's own loader
// (the same LoadLibraryW, entry point, SDK version and object the reports
// use), everything released before the floor returns.
template <class Runtime>
bool AskRuntime(std::unique_ptr<Runtime> (LiveDirect3DRuntimes::*load)(), bool (*ask)(Runtime&)) {
  LiveDirect3DRuntimes runtimes;
  const std::unique_ptr<Runtime> runtime = (runtimes.*load)();
  return runtime && ask(*runtime);
}

// Every device the Direct3D 10 and 10.1 probes try: four driver types, at
// feature levels 10.1 and 10.0 (which Direct3D 10 ignores), each released at once.
bool CreateEveryDevice(Direct3D10Runtime& runtime, std::initializer_list<UINT> levels) {
  bool any = false;
  for (const UINT level : levels) {
    for (const UINT type : {kDriverTypeHardware, kDriverTypeReference, kDriverTypeNull, kDriverTypeSoftware})
      any |= runtime.CanCreateDevice(type, level);
  }
  return any;
}

bool Direct3D8Floor() {
  return AskRuntime<Direct3D8Runtime>(&LiveDirect3DRuntimes::LoadDirect3D8, [](Direct3D8Runtime& runtime) {
    return runtime.DefaultAdapterDriver().has_value();
  });
}

bool Direct3D9Floor() {
  return AskRuntime<Direct3DRuntime>(&LiveDirect3DRuntimes::LoadDirect3D9, [](Direct3DRuntime& runtime) {
    return runtime.HardwareShaderVersions().has_value();
  });
}

bool CreateDirect3D10_1() {
  return AskRuntime<Direct3D10Runtime>(&LiveDirect3DRuntimes::LoadDirect3D10_1, [](Direct3D10Runtime& runtime) {
    return CreateEveryDevice(runtime, {kFeatureLevel10_1, kFeatureLevel10_0});
  });
}

bool CreateDirect3D10() {
  return AskRuntime<Direct3D10Runtime>(&LiveDirect3DRuntimes::LoadDirect3D10, [](Direct3D10Runtime& runtime) {
    return CreateEveryDevice(runtime, {kFeatureLevel10_0});
  });
}

bool QueryOperatingSystem() {
  ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.ReceiveVoid())))
    return false;
  ComPtr<IWbemServices> services;
  ScopedBstr space(SysAllocString(L"ROOT\\CIMV2"));
  if (FAILED(locator->ConnectServer(space.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.Receive())))
    return false;
  ComPtr<IEnumWbemClassObject> rows;
  ScopedBstr language(SysAllocString(L"WQL"));
  ScopedBstr query(SysAllocString(L"SELECT * FROM Win32_OperatingSystem"));
  if (FAILED(services->ExecQuery(language.Get(), query.Get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, rows.Receive())))
    return false;
  ComPtr<IWbemClassObject> row;
  ULONG returned = 0;
  if (FAILED(rows->Next(WBEM_INFINITE, 1, row.Receive(), &returned)) || returned == 0) return false;
  ScopedVariant caption;
  return SUCCEEDED(row->Get(L"Caption", 0, caption.Receive(), nullptr, nullptr));
}

// The wait cursor that the drive and processor description reports show.
bool ShowWaitCursor() {
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  SetCursor(previous);
  return true;
}

bool Nothing() { return true; }

constexpr Floor kFloors[] = {
    {"none", "no platform call", Nothing},
    {"registry", "open OemInfo and CentralProcessor\\0, read three values of each", ReadProcessorDescription},
    {"model", "open SystemInformation, read SystemProductName", ReadSystemModel},
    {"cursor", "SetCursor to the wait cursor and back", ShowWaitCursor},
    {"cpuid", "CPUID 0x80000000-0x80000004", ReadBrandString},
    {"memory", "GlobalMemoryStatusEx", ReadMemoryStatus},
    {"sysinfo", "GetSystemInfo", ReadSystemInfo},
    {"topology", "GetLogicalProcessorInformation", ReadProcessorTopology},
    {"drives", "GetLogicalDrives, GetDriveTypeW and GetDiskFreeSpaceExW per fixed drive", ListDrives},
    {"sysdrive", "GetSystemDirectoryW, GetDiskFreeSpaceExW", SystemDriveSpace},
    {"services", "open every service key and its Enum subkey", WalkServices},
    {"ddraw", "load ddraw.dll, DirectDrawCreate, GetCaps", CreateDirectDraw},
    {"ddrawid", "load ddraw.dll, DirectDrawCreate, IDirectDraw4, GetDeviceIdentifier", IdentifyDirectDrawDevice},
    {"adapters", "every entry two levels below Services and Control\\Video, one value each", WalkAdapterEntries},
    {"d3d8", "load d3d8.dll, Direct3DCreate8, GetAdapterIdentifier", Direct3D8Floor},
    {"d3d9", "load d3d9.dll, Direct3DCreate9, GetDeviceCaps", Direct3D9Floor},
    {"d3d10_1", "load d3d10_1.dll, D3D10CreateDevice1 for four driver types at two levels", CreateDirect3D10_1},
    {"d3d10", "load d3d10.dll, D3D10CreateDevice for four driver types", CreateDirect3D10},
    {"dxdiag", "DxDiag provider: Initialize, DxDiag_SystemInfo, one property", testing::QueryDxDiagDirectly},
    {"dsenum", "load dsound.dll, DirectSoundEnumerateW", EnumerateSound},
    {"dscreate", "load dsound.dll, DirectSoundCreate, GetCaps", OpenSoundDevice},
    {"modes", "EnumDisplaySettingsW over every mode", ListDisplayModes},
    {"current", "CreateICW, GetDeviceCaps for four facts", CurrentDisplayMode},
    {"wmi", "WbemLocator, ConnectServer ROOT\\CIMV2, Win32_OperatingSystem", QueryOperatingSystem},
};

}  // namespace

std::span<const Floor> Floors() { return kFloors; }

const Floor* FindFloor(const char* name) {
  for (const Floor& floor : kFloors) {
    if (std::strcmp(floor.name, name) == 0) return &floor;
  }
  return nullptr;
}

}  // namespace orvanta::bench
