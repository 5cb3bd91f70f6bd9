// Self-registration of the module's two classes and of its type library.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orvanta {

// One value that registration writes below HKEY_CLASSES_ROOT.
struct RegistryEntry {
  std::wstring key;
  const wchar_t* value_name;  // null: the key's default value
  std::wstring data;
};

// What registering the control writes, for a module at |module_path|.
std::vector<RegistryEntry> ControlRegistryEntries(const std::wstring& module_path);
// What registering the property page writes.
std::vector<RegistryEntry> PropPageRegistryEntries(const std::wstring& module_path);

// Class registration: writes (true) or removes (false) the class's entries.
HRESULT UpdateControlRegistry(bool do_register);
HRESULT UpdatePropPageRegistry(bool do_register);

// Registers the type library embedded in the module's own file, after checking
// that it is the module's library.
HRESULT RegisterTypeLibrary();
HRESULT UnregisterTypeLibrary();

}  // namespace orvanta
