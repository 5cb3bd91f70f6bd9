// The one shape of the Direct3D loaders (8, 9, 10 and 10.1): the runtime's
// library loaded by file name and held for as long as the runtime object
// lives, its entry point found by name once, and every object that the entry
// point makes released before the library goes. Each runtime's file includes
// this after its own Direct3D header (those of 8 and 9 cannot share a file).
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <utility>

#include "collectors/graphics/direct3d.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"

namespace orvanta {

// A runtime's library and its entry point of type Entry; the entry point is
// null when the library lacks it.
template <class Entry>
class RuntimeLibrary {
 public:
  RuntimeLibrary(ScopedLibrary library, const char* entry_name)
      : library_(std::move(library)), entry_(library_.Find<Entry>(entry_name)) {}

  Entry entry() const { return entry_; }

 private:
  ScopedLibrary library_;
  Entry entry_;
};

// A new Live runtime over the library |file|; null when it cannot be loaded.
template <class Live>
std::unique_ptr<Live> LoadRuntime(const wchar_t* file) {
  ScopedLibrary library(file);
  if (!library) return nullptr;
  return std::make_unique<Live>(std::move(library));
}

// The Direct3D 8 or 9 object that |create| makes for |sdk_version|; null
// without an entry point or an object.
template <class Direct3D, class Create>
ComPtr<Direct3D> CreateDirect3D(Create create, UINT sdk_version) {
  return ComPtr<Direct3D>(create ? create(sdk_version) : nullptr);
}

// The shader words of the default adapter's hardware device, |hardware| being
// the runtime's D3DDEVTYPE_HAL; nullopt without an object or capabilities.
template <class Caps, class Direct3D, class DeviceType>
std::optional<ShaderVersionWords> HardwareShaderWords(const ComPtr<Direct3D>& direct3d, DeviceType hardware) {
  if (!direct3d) return std::nullopt;
  Caps caps = {};
  if (direct3d->GetDeviceCaps(0, hardware, &caps) != S_OK) return std::nullopt;
  return ShaderVersionWords{caps.VertexShaderVersion, caps.PixelShaderVersion};
}

}  // namespace orvanta
