// DirectX version detection: the DxDiag provider first, the version
// resources of the DirectX system files second.
#pragma once

#include <windows.h>

namespace orvanta {

// The installed DirectX runtime. `packed` receives
// (major * 256 + minor) * 256 + letter index (a = 1 ... z = 26), 0 when nothing
// was found; `text` receives the version text (such as "9.0c"), cut to
// `capacity` - 1 characters and always terminated. Either out may be null.
// Returns S_OK, or E_FAIL when no source gave a version.
HRESULT QueryDirectXVersion(DWORD* packed, wchar_t* text, int capacity);

}  // namespace orvanta
