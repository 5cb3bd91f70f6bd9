// DirectX version detection: the DxDiag provider first, the version
// resources of the DirectX system files second.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace orvanta {

// The installed DirectX runtime, from this machine's sources. `packed`
// receives (major * 256 + minor) * 256 + letter index (a = 1 ... z = 26), 0
// when nothing was found; `text` receives the version text (such as "9.0c"),
// cut to `capacity` - 1 characters and always terminated. Either out may be
// null. Always S_OK: where the provider gives no version, the file inference
// gives one (0.0 when it finds none).
HRESULT QueryDirectXVersion(DWORD* packed, wchar_t* text, int capacity);

// The provider's long version text holds at most this many characters.
inline constexpr int kDirectXLongTextCapacity = 64;

// The DirectX version properties of the provider's "DxDiag_SystemInfo"
// container, as the provider answers GetProp.
class DxDiagProperties {
 public:
  virtual ~DxDiagProperties() = default;
  // Fills |value| (initialised and empty on entry; the caller clears it).
  virtual HRESULT GetProp(const wchar_t* name, VARIANT* value) const = 0;
};

// Reads "dwDirectXVersionMajor" and "dwDirectXVersionMinor" (VT_UI4 only),
// "szDirectXVersionLetter" (its first code unit) and
// "szDirectXVersionLongEnglish" (cut to kDirectXLongTextCapacity - 1
// characters) from |properties|. Each value is written as soon as it is
// accepted; each out may be null; |long_text| holds kDirectXLongTextCapacity
// characters. S_OK when major, minor and letter were all accepted, else E_FAIL.
HRESULT ReadDxDiagVersion(const DxDiagProperties& properties, DWORD* major, DWORD* minor, wchar_t* letter,
                          wchar_t* long_text);

// The same from this machine's DxDiag provider, with COM initialised on the
// calling thread for the duration of the query.
HRESULT QueryDxDiagVersion(DWORD* major, DWORD* minor, wchar_t* letter, wchar_t* long_text);

// Fixed file versions as one number: dwFileVersionMS in the upper half,
// dwFileVersionLS in the lower.
uint64_t PackFileVersion(WORD a, WORD b, WORD c, WORD d);
// 1 when |x| is the newer version, -1 when it is the older, 0 when equal.
int CompareFileVersions(uint64_t x, uint64_t y);

struct FileVersionWords {
  DWORD ls = 0;  // dwFileVersionLS
  DWORD ms = 0;  // dwFileVersionMS
};

// The fixed file version of the file at |path|. S_OK; E_INVALIDARG when either
// argument is null; E_FAIL when the file has no readable version resource;
// E_OUTOFMEMORY when the resource does not fit in memory.
HRESULT ReadFileVersion(const wchar_t* path, FileVersionWords* version);

// The versions of the DirectX system files, by the name that follows the
// system directory ("\\ddraw.dll").
class DirectXFiles {
 public:
  virtual ~DirectXFiles() = default;
  // nullopt when the file is missing or its version cannot be read.
  virtual std::optional<uint64_t> VersionOf(const wchar_t* file_name) const = 0;
};

// This machine's system directory; no file has a version when the directory
// is unknown.
class SystemDirectoryFiles : public DirectXFiles {
 public:
  SystemDirectoryFiles();
  std::optional<uint64_t> VersionOf(const wchar_t* file_name) const override;

 private:
  wchar_t directory_[MAX_PATH];
};

// The DirectX release that the newest of the known system file versions
// belongs to: major 0, minor 0 and a blank letter when none is known. Each
// out may be null. Always S_OK.
HRESULT InferVersionFromFiles(const DirectXFiles& files, DWORD* major, DWORD* minor, wchar_t* letter);

// Where a DirectX version comes from: the provider query and the system files.
class DirectXVersionSources {
 public:
  virtual ~DirectXVersionSources() = default;
  // As QueryDxDiagVersion.
  virtual HRESULT QueryDxDiag(DWORD* major, DWORD* minor, wchar_t* letter, wchar_t* long_text) const = 0;
  virtual const DirectXFiles& Files() const = 0;
};

// QueryDirectXVersion over |sources|.
HRESULT QueryDirectXVersion(const DirectXVersionSources& sources, DWORD* packed, wchar_t* text, int capacity);

// (major * 256 + minor) * 256 + the index of the lower-cased |letter| (a = 1 ...
// z = 26, anything else 0), unmasked.
DWORD PackDirectXVersion(DWORD major, DWORD minor, wchar_t letter);

}  // namespace orvanta
