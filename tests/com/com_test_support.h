// What the COM tests share: the module under test, the apartment, registry
// dumps and invocation helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/com_ptr.h"
#include "framework/scoped_library.h"
#include "framework/scoped_variant.h"

namespace orvanta::testing {

// The directory of the test program, where the build also puts the module.
std::wstring BinDirectory();
// The 64-bit ORVANTA.OCX beside the test program.
std::wstring OcxPath();

// The module loaded into the test process, with its four entry points.
class OcxModule {
 public:
  explicit OcxModule(const std::wstring& path = OcxPath());
  HMODULE handle() const { return library_.Get(); }
  HRESULT Register() const;
  HRESULT Unregister() const;
  HRESULT CanUnloadNow() const;
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;

 private:
  ScopedLibrary library_;
};

// The control, created through COM by its class identifier.
ComPtr<IDispatch> CreateControl();

// Invokes the argument-less method |id| as a method call.
HRESULT InvokeMethod(IDispatch* control, DISPID id, VARIANT* result, WORD flags = DISPATCH_METHOD);

// The report that method |id| answers; fails the test when the call fails or
// the answer is not a string.
std::wstring CallReport(IDispatch* control, DISPID id);

// The same, and the answer recorded (UTF-8) as a property of the running
// test named after the method, where a run with --gtest_output=json finds it.
std::wstring CallRecordedReport(IDispatch* control, DISPID id);

// Every value below HKEY_CLASSES_ROOT\<path>, one line each, sorted:
// "<key path>|<value name or @>|<data>" for REG_SZ data, other types with
// their type number instead of the data. Empty when the key does not exist.
std::vector<std::wstring> DumpClassesKey(const std::wstring& path);
bool ClassesKeyExists(const std::wstring& path);

// Text of a GUID in registry form, "{...}".
std::wstring GuidText(REFGUID guid);

// Removes HKEY_CLASSES_ROOT\<path> when the test ends, however it ends.
class ClassesKeyCleanup {
 public:
  explicit ClassesKeyCleanup(std::wstring path) : path_(std::move(path)) {}
  ClassesKeyCleanup(const ClassesKeyCleanup&) = delete;
  ClassesKeyCleanup& operator=(const ClassesKeyCleanup&) = delete;
  ~ClassesKeyCleanup();

 private:
  std::wstring path_;
};

}  // namespace orvanta::testing
