// Stand-in for the DirectX version detection until it lands: answers 9.0c.
#include <cwchar>

#include "collectors/graphics/directx_version.h"

namespace orvanta {

HRESULT QueryDirectXVersion(DWORD* packed, wchar_t* text, int capacity) {
  if (packed) *packed = 0x90003;
  if (text && capacity > 0) {
    std::wcsncpy(text, L"9.0c", static_cast<size_t>(capacity) - 1);
    text[capacity - 1] = L'\0';
  }
  return S_OK;
}

}  // namespace orvanta
