// The module's class table and the class object that DllGetClassObject hands out.
#pragma once

#include <windows.h>

#include <span>

namespace orvanta {

// One creatable class of the module.
struct ClassRow {
  const CLSID* clsid;
  // Creates a new instance and asks it for the interface.
  HRESULT (*create)(REFIID iid, void** out);
  // Writes (true) or removes (false) the class's registry entries.
  HRESULT (*update_registry)(bool do_register);
};

// DllGetClassObject over |classes|: a class object for the row with |clsid|.
HRESULT GetClassObject(std::span<const ClassRow> classes, REFCLSID clsid, REFIID iid, void** out);

}  // namespace orvanta
