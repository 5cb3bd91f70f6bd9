#include "tools/survey/survey_client.h"

#include <olectl.h>

#include "control/orvanta_idl.h"
#include "framework/report_text.h"
#include "framework/scoped_bstr.h"
#include "framework/scoped_variant.h"

namespace orvanta::survey {
namespace {

constexpr wchar_t kProgId[] = L"ORVANTA.OrvantaCtrl.1";
// The application manifest that --here activates; it names the control's
// assembly, whose manifest lies in the same folder.
constexpr wchar_t kHereManifest[] = L"orvanta-survey.here.manifest";

bool MeansNotRegistered(HRESULT hr) {
  return hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING || hr == REGDB_E_READREGDB;
}

}  // namespace

std::wstring SystemMessage(HRESULT hr) {
  wchar_t text[512];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(hr), 0, text, static_cast<DWORD>(std::size(text)), nullptr);
  return std::wstring(text, length);
}

// The file of |module| (the program for null), or an empty text.
static std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

std::wstring ProgramPath() { return ModulePath(nullptr); }

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  const DWORD length = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::string data(size, '\0');
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof(*fixed)) {
    return L"";
  }
  return FormatText(L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                    HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

std::wstring ProgramDirectory() {
  const std::wstring path = ProgramPath();
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

int SurveyClient::Create(const Options& options, std::wstring* error) {
  switch (options.source) {
    case Source::kOcx:
      // Exactly the file named, never another copy that the search order finds.
      module_path_ = FullPath(options.ocx_path);
      return CreateFromFile(module_path_, error);
    case Source::kHere: {
      const std::wstring directory = ProgramDirectory();
      module_path_ = directory + L"ORVANTA.OCX";
      const std::wstring manifest = directory + kHereManifest;
      context_.emplace(manifest, directory);
      if (!*context_) {
        const HRESULT hr = HRESULT_FROM_WIN32(context_->Error());
        *error = DescribeFailure(L"reading the manifests " + manifest + L" and Orvanta.Control.manifest", hr,
                                 SystemMessage(hr));
        return kExitFailure;
      }
      activation_.emplace(*context_);
      if (!*activation_) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        *error = DescribeFailure(L"activating " + manifest, hr, SystemMessage(hr));
        return kExitFailure;
      }
      const int status = CreateByProgId(error);
      // Without the registry to fall back on, not finding the class means
      // the manifests or the module beside them are missing.
      if (status == kExitNotRegistered) {
        *error = L"the control could not be created through the manifests beside orvanta-survey.exe: " + *error;
        return kExitFailure;
      }
      return status;
    }
    case Source::kProgId:
      break;
  }
  return CreateByProgId(error);
}

int SurveyClient::CreateByProgId(std::wstring* error) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
  if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control_.ReceiveVoid());
  if (SUCCEEDED(hr)) return kExitOk;
  if (MeansNotRegistered(hr)) {
    *error = NotRegisteredMessage(sizeof(void*) == 8);
    return kExitNotRegistered;
  }
  *error = DescribeFailure(L"creating ORVANTA.OrvantaCtrl.1", hr, SystemMessage(hr));
  return kExitFailure;
}

int SurveyClient::CreateFromFile(const std::wstring& path, std::wstring* error) {
  library_.Reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library_) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    *error = DescribeFailure(L"loading " + path, hr, SystemMessage(hr));
    return kExitFailure;
  }
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  const auto get_class_object = library_.Find<GetClassObjectFn>("DllGetClassObject");
  if (!get_class_object) {
    *error = path + L" is not a COM server: it does not export DllGetClassObject";
    return kExitFailure;
  }
  ComPtr<IClassFactory> factory;
  HRESULT hr = get_class_object(CLSID_Orvanta, IID_IClassFactory, factory.ReceiveVoid());
  if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IDispatch, control_.ReceiveVoid());
  if (SUCCEEDED(hr)) return kExitOk;
  *error = DescribeFailure(L"creating the control from " + path, hr, SystemMessage(hr));
  return kExitFailure;
}

std::optional<std::vector<SurveyMethod>> SurveyClient::ReadMethods(std::wstring* error) {
  // A type library may be registered for one locale only (the control's is
  // for English (United States)): the user's locale is asked first, then the
  // neutral one and English (United States).
  ComPtr<ITypeInfo> info;
  HRESULT hr = E_FAIL;
  for (const LCID locale : {LCID{LOCALE_USER_DEFAULT}, GetUserDefaultLCID(), LCID{LOCALE_NEUTRAL},
                            LCID{MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)}}) {
    hr = control_->GetTypeInfo(0, locale, info.Receive());
    if (SUCCEEDED(hr)) break;
  }
  if (FAILED(hr) && !module_path_.empty()) {
    ComPtr<ITypeLib> library;
    hr = LoadTypeLibEx(module_path_.c_str(), REGKIND_NONE, library.Receive());
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(DIID__DOrvanta, info.Receive());
  }
  TYPEATTR* attributes = nullptr;
  if (SUCCEEDED(hr)) hr = info->GetTypeAttr(&attributes);
  if (FAILED(hr)) {
    *error = DescribeFailure(L"reading the control's type information", hr, SystemMessage(hr));
    return std::nullopt;
  }
  const WORD count = attributes->cFuncs;
  info->ReleaseTypeAttr(attributes);

  std::vector<SurveyMethod> methods;
  for (UINT index = 0; index < count; ++index) {
    FUNCDESC* function = nullptr;
    if (FAILED(info->GetFuncDesc(index, &function))) continue;
    const MEMBERID id = function->memid;
    const bool skip = id == DISPID_ABOUTBOX || (function->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0;
    info->ReleaseFuncDesc(function);
    ScopedBstr name;
    if (skip || FAILED(info->GetDocumentation(id, name.Receive(), nullptr, nullptr, nullptr))) continue;
    methods.push_back({std::wstring(name.View()), id});
  }
  return methods;
}

// The control answers names from its type library when asked with a locale
// and it can load the library, and from its own table with locale 0 or
// without the library; two methods have a different name in each.
DISPID SurveyClient::FindIdentifier(const std::wstring& name) {
  for (const LCID locale : {LCID{LOCALE_USER_DEFAULT}, LCID{0}}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID id = DISPID_UNKNOWN;
    if (SUCCEEDED(control_->GetIDsOfNames(IID_NULL, names, 1, locale, &id))) return id;
  }
  return DISPID_UNKNOWN;
}

std::wstring SurveyClient::ModuleFile() const {
  HMODULE module = nullptr;
  // The first word of a COM object is its table of functions, in its module.
  const void* table = control_ ? *reinterpret_cast<void* const*>(control_.Get()) : nullptr;
  if (!table || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    static_cast<LPCWSTR>(table), &module)) {
    return L"";
  }
  return ModulePath(module);
}

Answer SurveyClient::Call(const SurveyMethod& method) {
  DISPPARAMS no_arguments = {};
  ScopedVariant result;
  EXCEPINFO exception = {};
  UINT argument_error = 0;
  const HRESULT hr = control_->Invoke(method.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no_arguments,
                                      result.Receive(), &exception, &argument_error);
  const ScopedBstr source(exception.bstrSource);
  const ScopedBstr description(exception.bstrDescription);
  const ScopedBstr help_file(exception.bstrHelpFile);
  Answer answer;
  if (FAILED(hr)) {
    answer.kind = Answer::Kind::kFailed;
    answer.result = hr;
    answer.text = SystemMessage(hr);
    if (hr == DISP_E_EXCEPTION) {
      answer.exception = exception.scode ? exception.scode : static_cast<HRESULT>(exception.wCode);
      std::wstring detail(description.View());
      if (detail.empty()) detail = SystemMessage(answer.exception);
      answer.text = DescribeFailure(L"(the method", answer.exception, detail) + L")";
    }
    while (!answer.text.empty() && IsWhiteSpace(answer.text.back())) answer.text.pop_back();
    return answer;
  }
  const VARIANT& value = result.Get();
  switch (V_VT(&value)) {
    case VT_BSTR:
      answer.kind = Answer::Kind::kText;
      answer.text.assign(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value)));
      break;
    case VT_I2:
      answer.kind = Answer::Kind::kNumber;
      answer.number = V_I2(&value);
      break;
    case VT_I4:
      answer.kind = Answer::Kind::kNumber;
      answer.number = V_I4(&value);
      break;
    default:
      answer.kind = Answer::Kind::kNothing;
      break;
  }
  return answer;
}

}  // namespace orvanta::survey
