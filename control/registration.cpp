#include "control/registration.h"

#include <windows.h>

#include <memory>

#include "control/orvanta_ctrl.h"
#include "control/orvanta_idl.h"
#include "framework/com_ptr.h"
#include "framework/module.h"
#include "framework/reg_key.h"
#include "framework/report_text.h"

namespace orvanta {
namespace {

constexpr wchar_t kControlProgId[] = L"ORVANTA.OrvantaCtrl.1";
constexpr wchar_t kControlName[] = L"Pelmora Control";
constexpr wchar_t kPropPageName[] = L"Pelmora Property Page";

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring GuidText(REFGUID guid) {
  wchar_t text[39];
  StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
  return text;
}

// The module's file name in its short (8.3) form, as class registrations
// record it; the long form where the file system has no short names.
std::wstring ShortModulePath() {
  const std::wstring path = ModuleState::FileName();
  // A short form can be longer than the long one ("ab.html" becomes
  // "AB~1.HTM"): when the buffer is too small, the call answers the size it
  // needs, terminator included, and is asked again with that size.
  std::wstring short_path(path.size() + 1, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = GetShortPathNameW(path.c_str(), short_path.data(), static_cast<DWORD>(short_path.size()));
    if (length == 0) return path;
    if (length < short_path.size()) {
      short_path.resize(length);
      return short_path;
    }
    short_path.assign(length, L'\0');
  }
  return path;
}

HRESULT WriteEntries(const std::vector<RegistryEntry>& entries) {
  for (const RegistryEntry& entry : entries) {
    RegKey key;
    LONG status = key.Create(HKEY_CLASSES_ROOT, entry.key.c_str(), KEY_READ | KEY_WRITE);
    if (status == ERROR_SUCCESS) status = key.WriteString(entry.value_name, entry.data);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

HRESULT DeleteTreeIfPresent(const std::wstring& path) {
  const LONG status = DeleteKeyTree(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

// Removes a class's registration. When the class key also names a 16-bit
// server (an InprocServer subkey), only the 32-bit server and its toolbox
// bitmap are removed and the rest is left for the other server.
HRESULT UnregisterClass(REFCLSID clsid, const wchar_t* prog_id) {
  const std::wstring class_key = L"CLSID\\" + GuidText(clsid);
  RegKey other_server;
  if (other_server.Open(HKEY_CLASSES_ROOT, (class_key + L"\\InprocServer").c_str(), KEY_READ) == ERROR_SUCCESS) {
    HRESULT hr = DeleteTreeIfPresent(class_key + L"\\InprocServer32");
    if (SUCCEEDED(hr)) hr = DeleteTreeIfPresent(class_key + L"\\ToolboxBitmap32");
    return hr;
  }
  HRESULT hr = DeleteTreeIfPresent(class_key);
  if (SUCCEEDED(hr) && prog_id) hr = DeleteTreeIfPresent(prog_id);
  return hr;
}

struct LibAttrDeleter {
  ITypeLib* library;
  void operator()(TLIBATTR* attr) const { library->ReleaseTLibAttr(attr); }
};

}  // namespace

std::vector<RegistryEntry> ControlRegistryEntries(const std::wstring& module_path) {
  const std::wstring clsid_key = L"CLSID\\" + GuidText(CLSID_Orvanta);
  return {
      {kControlProgId, nullptr, kControlName},
      {std::wstring(kControlProgId) + L"\\CLSID", nullptr, GuidText(CLSID_Orvanta)},
      {clsid_key, nullptr, kControlName},
      {clsid_key + L"\\ProgID", nullptr, kControlProgId},
      {clsid_key + L"\\InprocServer32", nullptr, module_path},
      {clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {clsid_key + L"\\ToolboxBitmap32", nullptr, module_path + L", 1"},
      {clsid_key + L"\\MiscStatus", nullptr, L"0"},
      {clsid_key + L"\\MiscStatus\\1", nullptr, FormatText(L"%lu", kOrvantaMiscStatus)},
      {clsid_key + L"\\Control", nullptr, L""},
      {clsid_key + L"\\TypeLib", nullptr, GuidText(LIBID_ORVANTALib)},
      {clsid_key + L"\\Version", nullptr, L"1.0"},
  };
}

std::vector<RegistryEntry> PropPageRegistryEntries(const std::wstring& module_path) {
  const std::wstring clsid_key = L"CLSID\\" + GuidText(CLSID_OrvantaPropPage);
  return {
      {clsid_key, nullptr, kPropPageName},
      {clsid_key + L"\\InprocServer32", nullptr, module_path},
  };
}

HRESULT UpdateControlRegistry(bool do_register) {
  if (!do_register) return UnregisterClass(CLSID_Orvanta, kControlProgId);
  return WriteEntries(ControlRegistryEntries(ShortModulePath()));
}

HRESULT UpdatePropPageRegistry(bool do_register) {
  if (!do_register) return UnregisterClass(CLSID_OrvantaPropPage, nullptr);
  return WriteEntries(PropPageRegistryEntries(ShortModulePath()));
}

HRESULT RegisterTypeLibrary() {
  const std::wstring path = ModuleState::FileName();
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Receive());
  if (FAILED(hr)) return hr;

  TLIBATTR* raw_attr = nullptr;
  hr = library->GetLibAttr(&raw_attr);
  if (FAILED(hr)) return hr;
  const std::unique_ptr<TLIBATTR, LibAttrDeleter> attr(raw_attr, LibAttrDeleter{library.Get()});
  if (!IsEqualGUID(attr->guid, LIBID_ORVANTALib)) return TYPE_E_LIBNOTREGISTERED;

  wchar_t no_help_directory[] = L"";
  return RegisterTypeLib(library.Get(), const_cast<wchar_t*>(path.c_str()), no_help_directory);
}

// The registration lives under the library's own locale, so that is the locale
// to remove; with locale 0 the registration would never be found.
HRESULT UnregisterTypeLibrary() {
  return UnRegisterTypeLib(LIBID_ORVANTALib, 1, 0, kTypeLibraryLocale, kSysKind);
}

}  // namespace orvanta
