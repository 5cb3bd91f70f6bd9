#include "tests/com/com_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "control/orvanta_idl.h"
#include "framework/reg_key.h"
#include "tests/com/method_contract.h"

namespace orvanta::testing {
namespace {

template <class Fn>
Fn EntryPoint(const ScopedLibrary& library, const char* name) {
  Fn entry = library.Find<Fn>(name);
  if (!entry) ADD_FAILURE() << "the module does not export " << name;
  return entry;
}

using ServerFn = HRESULT(WINAPI*)();
using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

void DumpKey(HKEY root, const std::wstring& path, std::vector<std::wstring>* lines) {
  RegKey key;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_length = static_cast<DWORD>(std::size(name));
    DWORD type = REG_NONE;
    if (RegEnumValueW(key.Get(), index, name, &name_length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    std::wstring shown;
    if (key.ReadText(name, &type, &shown) == ERROR_SUCCESS && type != REG_SZ) shown = L"type " + std::to_wstring(type);
    lines->push_back(path + L"|" + (name_length ? std::wstring(name) : L"@") + L"|" + shown);
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_length = static_cast<DWORD>(std::size(name));
    if (RegEnumKeyExW(key.Get(), index, name, &name_length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    const std::wstring child = path + L"\\" + name;
    lines->push_back(child);
    DumpKey(root, child, lines);
  }
}

// The whole test program runs in one apartment, with the control registered.
class ControlEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    module_ = std::make_unique<OcxModule>();
    ASSERT_EQ(module_->Register(), S_OK);
  }
  void TearDown() override {
    EXPECT_EQ(module_->Unregister(), S_OK);
    module_.reset();
    CoUninitialize();
  }

 private:
  std::unique_ptr<OcxModule> module_;
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new ControlEnvironment);

}  // namespace

std::wstring BinDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring OcxPath() { return BinDirectory() + L"ORVANTA.OCX"; }

OcxModule::OcxModule(const std::wstring& path) : library_(path.c_str()) {
  if (!library_) ADD_FAILURE() << "cannot load the module, error " << GetLastError();
}

HRESULT OcxModule::Register() const {
  auto entry = EntryPoint<ServerFn>(library_, "DllRegisterServer");
  return entry ? entry() : E_FAIL;
}

HRESULT OcxModule::Unregister() const {
  auto entry = EntryPoint<ServerFn>(library_, "DllUnregisterServer");
  return entry ? entry() : E_FAIL;
}

HRESULT OcxModule::CanUnloadNow() const {
  auto entry = EntryPoint<ServerFn>(library_, "DllCanUnloadNow");
  return entry ? entry() : E_FAIL;
}

HRESULT OcxModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  auto entry = EntryPoint<GetClassObjectFn>(library_, "DllGetClassObject");
  return entry ? entry(clsid, iid, out) : E_FAIL;
}

ComPtr<IDispatch> CreateControl() {
  ComPtr<IDispatch> control;
  const HRESULT hr =
      CoCreateInstance(CLSID_Orvanta, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.ReceiveVoid());
  EXPECT_EQ(hr, S_OK);
  return control;
}

HRESULT InvokeMethod(IDispatch* control, DISPID id, VARIANT* result, WORD flags) {
  DISPPARAMS no_arguments = {};
  return control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &no_arguments, result, nullptr, nullptr);
}

std::wstring CallReport(IDispatch* control, DISPID id) {
  ScopedVariant result;
  const HRESULT hr = InvokeMethod(control, id, result.Receive());
  EXPECT_EQ(hr, S_OK) << "method " << id;
  EXPECT_EQ(result.Type(), VT_BSTR) << "method " << id;
  if (FAILED(hr) || result.Type() != VT_BSTR) return {};
  const BSTR text = V_BSTR(&result.Get());
  EXPECT_NE(text, nullptr) << "method " << id;
  return std::wstring(text, SysStringLen(text));
}

std::wstring CallRecordedReport(IDispatch* control, DISPID id) {
  const std::wstring report = CallReport(control, id);
  const auto method = std::find_if(std::begin(kContractMethods), std::end(kContractMethods),
                                   [id](const ContractMethod& m) { return m.id == id; });
  std::string utf8(report.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, report.data(), static_cast<int>(report.size()), utf8.data(),
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  const std::wstring name = method != std::end(kContractMethods) ? method->name : std::to_wstring(id);
  ::testing::Test::RecordProperty(std::string(name.begin(), name.end()), utf8);
  return report;
}

std::vector<std::wstring> DumpClassesKey(const std::wstring& path) {
  std::vector<std::wstring> lines;
  if (!ClassesKeyExists(path)) return lines;
  lines.push_back(path);
  DumpKey(HKEY_CLASSES_ROOT, path, &lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

bool ClassesKeyExists(const std::wstring& path) {
  RegKey key;
  return key.Open(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ) == ERROR_SUCCESS;
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[39];
  StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
  return text;
}

ClassesKeyCleanup::~ClassesKeyCleanup() { DeleteKeyTree(HKEY_CLASSES_ROOT, path_.c_str()); }

}  // namespace orvanta::testing
