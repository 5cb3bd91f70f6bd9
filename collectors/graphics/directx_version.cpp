// The DirectX version rules: reading the provider's properties, the release
// table of the system files, packing and the version text.
#include "collectors/graphics/directx_version.h"

#include <algorithm>
#include <array>
#include <cwchar>

#include "framework/report_text.h"
#include "framework/scoped_variant.h"

namespace orvanta {
namespace {

constexpr wchar_t kBlank = L' ';

// Which versions of a file a row accepts.
enum class Match {
  kAtLeast,                 // at least `minimum`
  kAtLeastInSeries4Or5,     // first part 4 and at least `minimum`, or first part 5 and at least `minimum_5`
  kAnyReadableVersion,      // any version
};

struct ReleaseRow {
  const wchar_t* file;
  Match match;
  uint64_t minimum;
  uint64_t minimum_5;
  DWORD major;
  DWORD minor;
  wchar_t letter;
};

// The releases in rising order; the last row that matches names the release.
const std::array<ReleaseRow, 16> kReleaseRows = {{
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 2, 0, 95), 0, 1, 0, kBlank},
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 3, 0, 1096), 0, 2, 0, kBlank},
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 4, 0, 68), 0, 3, 0, kBlank},
    {L"\\d3drg8x.dll", Match::kAtLeast, PackFileVersion(4, 4, 0, 70), 0, 3, 0, L'a'},
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 5, 0, 155), 0, 5, 0, kBlank},
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 6, 0, 318), 0, 6, 0, kBlank},
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 6, 0, 436), 0, 6, 1, kBlank},
    {L"\\dplayx.dll", Match::kAtLeast, PackFileVersion(4, 6, 3, 518), 0, 6, 1, L'a'},
    {L"\\ddraw.dll", Match::kAtLeast, PackFileVersion(4, 7, 0, 700), 0, 7, 0, kBlank},
    {L"\\dinput.dll", Match::kAtLeast, PackFileVersion(4, 7, 0, 716), 0, 7, 0, L'a'},
    {L"\\ddraw.dll", Match::kAtLeastInSeries4Or5, PackFileVersion(4, 8, 0, 400), PackFileVersion(5, 1, 2258, 400), 8, 0,
     kBlank},
    {L"\\d3d8.dll", Match::kAtLeastInSeries4Or5, PackFileVersion(4, 8, 1, 881), PackFileVersion(5, 1, 2600, 881), 8, 1,
     kBlank},
    {L"\\d3d8.dll", Match::kAtLeastInSeries4Or5, PackFileVersion(4, 8, 1, 901), PackFileVersion(5, 1, 2600, 901), 8, 1,
     L'a'},
    {L"\\mpg2splt.ax", Match::kAtLeast, PackFileVersion(6, 3, 1, 885), 0, 8, 1, L'b'},
    {L"\\dpnet.dll", Match::kAtLeastInSeries4Or5, PackFileVersion(4, 9, 0, 134), PackFileVersion(5, 2, 3677, 134), 8, 2,
     kBlank},
    {L"\\d3d9.dll", Match::kAnyReadableVersion, 0, 0, 9, 0, kBlank},
}};

bool RowMatches(const ReleaseRow& row, uint64_t version) {
  switch (row.match) {
    case Match::kAtLeast:
      return CompareFileVersions(version, row.minimum) >= 0;
    case Match::kAtLeastInSeries4Or5: {
      const uint64_t first_part = version >> 48;
      if (first_part == 4) return CompareFileVersions(version, row.minimum) >= 0;
      if (first_part == 5) return CompareFileVersions(version, row.minimum_5) >= 0;
      return false;
    }
    case Match::kAnyReadableVersion:
      return true;
  }
  return false;
}

wchar_t LowerCaseLetter(wchar_t letter) {
  return (letter >= L'A' && letter <= L'Z') ? static_cast<wchar_t>(letter - L'A' + L'a') : letter;
}

// Copies |source| into |target| of |capacity| characters, cut and terminated.
void CopyCut(const wchar_t* source, size_t length, wchar_t* target, int capacity) {
  if (!target || capacity <= 0) return;
  const size_t count = std::min(length, static_cast<size_t>(capacity) - 1);
  std::wmemcpy(target, source, count);
  target[count] = L'\0';
}

// A BSTR property that the provider answered, or null.
const wchar_t* TextOf(HRESULT hr, const ScopedVariant& value) {
  if (FAILED(hr) || value.Type() != VT_BSTR || !V_BSTR(&value.Get())) return nullptr;
  return V_BSTR(&value.Get());
}

}  // namespace

HRESULT ReadDxDiagVersion(const DxDiagProperties& properties, DWORD* major, DWORD* minor, wchar_t* letter,
                          wchar_t* long_text) {
  bool have_major = false, have_minor = false, have_letter = false;
  {
    ScopedVariant value;
    const HRESULT hr = properties.GetProp(L"dwDirectXVersionMajor", value.Receive());
    if (SUCCEEDED(hr) && value.Type() == VT_UI4) {
      have_major = true;
      if (major) *major = V_UI4(&value.Get());
    }
  }
  {
    ScopedVariant value;
    const HRESULT hr = properties.GetProp(L"dwDirectXVersionMinor", value.Receive());
    if (SUCCEEDED(hr) && value.Type() == VT_UI4) {
      have_minor = true;
      if (minor) *minor = V_UI4(&value.Get());
    }
  }
  {
    ScopedVariant value;
    const HRESULT hr = properties.GetProp(L"szDirectXVersionLetter", value.Receive());
    if (const wchar_t* text = TextOf(hr, value)) {
      have_letter = true;
      if (letter) *letter = text[0];
    }
  }
  {
    ScopedVariant value;
    const HRESULT hr = properties.GetProp(L"szDirectXVersionLongEnglish", value.Receive());
    if (const wchar_t* text = TextOf(hr, value)) CopyCut(text, std::wcslen(text), long_text, kDirectXLongTextCapacity);
  }
  return have_major && have_minor && have_letter ? S_OK : E_FAIL;
}

uint64_t PackFileVersion(WORD a, WORD b, WORD c, WORD d) {
  return (static_cast<uint64_t>(a) << 48) | (static_cast<uint64_t>(b) << 32) | (static_cast<uint64_t>(c) << 16) | d;
}

int CompareFileVersions(uint64_t x, uint64_t y) {
  if (x > y) return 1;
  if (x < y) return -1;
  return 0;
}

HRESULT InferVersionFromFiles(const DirectXFiles& files, DWORD* major, DWORD* minor, wchar_t* letter) {
  const ReleaseRow* newest = nullptr;
  for (const ReleaseRow& row : kReleaseRows) {
    const std::optional<uint64_t> version = files.VersionOf(row.file);
    if (version && RowMatches(row, *version)) newest = &row;
  }
  if (major) *major = newest ? newest->major : 0;
  if (minor) *minor = newest ? newest->minor : 0;
  if (letter) *letter = newest ? newest->letter : kBlank;
  return S_OK;
}

DWORD PackDirectXVersion(DWORD major, DWORD minor, wchar_t letter) {
  const wchar_t lower = LowerCaseLetter(letter);
  const DWORD index = (lower >= L'a' && lower <= L'z') ? static_cast<DWORD>(lower - L'a' + 1) : 0;
  return (major * 256 + minor) * 256 + index;
}

HRESULT QueryDirectXVersion(const DirectXVersionSources& sources, DWORD* packed, wchar_t* text, int capacity) {
  if (packed) *packed = 0;
  if (text && capacity > 0) text[0] = L'\0';

  DWORD major = 0, minor = 0;
  wchar_t letter = kBlank;
  wchar_t long_text[kDirectXLongTextCapacity] = {};
  if (FAILED(sources.QueryDxDiag(&major, &minor, &letter, long_text)))
    InferVersionFromFiles(sources.Files(), &major, &minor, &letter);

  letter = LowerCaseLetter(letter);
  if (packed) *packed = PackDirectXVersion(major, minor, letter);
  if (text && capacity > 0) {
    CString version;
    if (long_text[0] != L'\0')
      version = long_text;
    else if (letter == kBlank)
      version = FormatText(L"%d.%d", major, minor);
    else
      // A letter that is the terminator ends the text after the minor number.
      version = FormatText(L"%d.%d%c", major, minor, letter);
    CopyCut(version.c_str(), std::wcslen(version.c_str()), text, capacity);
  }
  return S_OK;
}

}  // namespace orvanta
