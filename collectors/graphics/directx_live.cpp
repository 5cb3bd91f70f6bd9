// The Windows side of the DirectX version: the DxDiag provider, the version
// resources of the system files, and CUserOrvanta::GetDirectXInfo.
#include <windows.h>
#include <initguid.h>
#include <dxdiag.h>

#include <cwchar>
#include <new>
#include <vector>

#include "collectors/graphics/directx_version.h"
#include "collectors/user_orvanta.h"
#include "framework/com_apartment.h"
#include "framework/com_ptr.h"
#include "framework/provider_lock.h"

namespace orvanta {
namespace {

// The report's version text holds at most this many characters, its
// terminator included: a longer provider text is cut to 31.
constexpr int kDirectXReportChars = 32;

class ContainerProperties : public DxDiagProperties {
 public:
  explicit ContainerProperties(IDxDiagContainer* container) : container_(container) {}
  HRESULT GetProp(const wchar_t* name, VARIANT* value) const override { return container_->GetProp(name, value); }

 private:
  IDxDiagContainer* container_;
};

class LiveDirectXVersionSources : public DirectXVersionSources {
 public:
  HRESULT QueryDxDiag(DWORD* major, DWORD* minor, wchar_t* letter, wchar_t* long_text) const override {
    return QueryDxDiagVersion(major, minor, letter, long_text);
  }
  const DirectXFiles& Files() const override { return files_; }

 private:
  SystemDirectoryFiles files_;
};

}  // namespace

HRESULT QueryDxDiagVersion(DWORD* major, DWORD* minor, wchar_t* letter, wchar_t* long_text) {
  const CriticalSectionLock lock(ProviderLock());
  ComApartment apartment;
  // Declared after the apartment, so released before COM is undone.
  ComPtr<IDxDiagProvider> provider;
  if (FAILED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                              provider.ReceiveVoid())))
    return E_FAIL;
  DXDIAG_INIT_PARAMS params = {};
  params.dwSize = sizeof(params);
  params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
  params.bAllowWHQLChecks = FALSE;
  params.pReserved = nullptr;
  if (FAILED(provider->Initialize(&params))) return E_FAIL;
  ComPtr<IDxDiagContainer> root;
  if (FAILED(provider->GetRootContainer(root.Receive()))) return E_FAIL;
  ComPtr<IDxDiagContainer> system_info;
  if (FAILED(root->GetChildContainer(L"DxDiag_SystemInfo", system_info.Receive()))) return E_FAIL;
  return ReadDxDiagVersion(ContainerProperties(system_info.Get()), major, minor, letter, long_text);
}

HRESULT ReadFileVersion(const wchar_t* path, FileVersionWords* version) {
  if (!path || !version) return E_INVALIDARG;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return E_FAIL;
  std::vector<BYTE> resource;
  try {
    resource.resize(size);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (!GetFileVersionInfoW(path, 0, size, resource.data())) return E_FAIL;
  void* block = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(resource.data(), L"\\", &block, &length) || !block || length < sizeof(VS_FIXEDFILEINFO))
    return E_FAIL;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  version->ls = fixed->dwFileVersionLS;
  version->ms = fixed->dwFileVersionMS;
  return S_OK;
}

SystemDirectoryFiles::SystemDirectoryFiles() {
  const UINT length = GetSystemDirectoryW(directory_, MAX_PATH);
  // A directory that does not fit counts as unknown.
  if (length == 0 || length >= MAX_PATH) directory_[0] = L'\0';
  directory_[MAX_PATH - 1] = L'\0';
}

std::optional<uint64_t> SystemDirectoryFiles::VersionOf(const wchar_t* file_name) const {
  if (directory_[0] == L'\0') return std::nullopt;
  std::wstring path = directory_;
  path += file_name;
  FileVersionWords words;
  if (FAILED(ReadFileVersion(path.c_str(), &words))) return std::nullopt;
  return (static_cast<uint64_t>(words.ms) << 32) | words.ls;
}

HRESULT QueryDirectXVersion(DWORD* packed, wchar_t* text, int capacity) {
  return QueryDirectXVersion(LiveDirectXVersionSources(), packed, text, capacity);
}

void CUserOrvanta::GetDirectXInfo(CString& report) {
  wchar_t text[kDirectXReportChars] = {};
  QueryDirectXVersion(LiveDirectXVersionSources(), nullptr, text, kDirectXReportChars);
  AppendFormat(report, L"%s\n", text);
}

}  // namespace orvanta
