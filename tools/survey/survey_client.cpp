#include "tools/survey/survey_client.h"

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

std::wstring ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

int SurveyClient::Create(const Options& options, std::wstring* error) {
  switch (options.source) {
    case Source::kOcx:
      return CreateFromFile(options.ocx_path, error);
    case Source::kHere: {
      const std::wstring directory = ProgramDirectory();
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
  library_.Reset(LoadLibraryW(path.c_str()));
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

// The control answers names from its type library when asked with a locale
// and it can load the library, and from its own table with locale 0 or
// without the library; two methods have a different name in each. The
// type-library name with the user's locale is tried first, then both names
// with locale 0, so that any of these answers is found.
HRESULT SurveyClient::FindIdentifier(const SurveyMethod& method, DISPID* id) {
  struct Attempt {
    const wchar_t* name;
    LCID locale;
  };
  const Attempt attempts[] = {
      {method.name, LOCALE_USER_DEFAULT}, {method.name, 0}, {method.other_name, LOCALE_USER_DEFAULT},
      {method.other_name, 0}};
  HRESULT hr = DISP_E_UNKNOWNNAME;
  for (const Attempt& attempt : attempts) {
    if (!attempt.name) continue;
    LPOLESTR name = const_cast<LPOLESTR>(attempt.name);
    hr = control_->GetIDsOfNames(IID_NULL, &name, 1, attempt.locale, id);
    if (hr != DISP_E_UNKNOWNNAME) return hr;
  }
  return hr;
}

HRESULT SurveyClient::Call(const SurveyMethod& method, Answer* answer, std::wstring* error) {
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = FindIdentifier(method, &id);
  if (FAILED(hr)) {
    *error = DescribeFailure(std::wstring(L"looking up ") + method.name, hr, SystemMessage(hr));
    return hr;
  }
  DISPPARAMS no_arguments = {};
  ScopedVariant result;
  EXCEPINFO exception = {};
  UINT argument_error = 0;
  hr = control_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no_arguments, result.Receive(),
                        &exception, &argument_error);
  const ScopedBstr source(exception.bstrSource);
  const ScopedBstr description(exception.bstrDescription);
  const ScopedBstr help_file(exception.bstrHelpFile);
  if (FAILED(hr)) {
    std::wstring message = SystemMessage(hr);
    if (hr == DISP_E_EXCEPTION) {
      const HRESULT inner = exception.scode ? exception.scode : static_cast<HRESULT>(exception.wCode);
      std::wstring detail(description.View());
      if (detail.empty()) detail = SystemMessage(inner);
      message = DescribeFailure(L"(the method", inner, detail) + L")";
    }
    *error = DescribeFailure(std::wstring(method.name) + FormatText(L" (%d)", static_cast<int>(id)), hr, message);
    return hr;
  }
  const VARIANT& value = result.Get();
  switch (V_VT(&value)) {
    case VT_BSTR:
      answer->kind = Answer::Kind::kText;
      answer->text.assign(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value)));
      break;
    case VT_I2:
      answer->kind = Answer::Kind::kNumber;
      answer->number = V_I2(&value);
      break;
    case VT_I4:
      answer->kind = Answer::Kind::kNumber;
      answer->number = V_I4(&value);
      break;
    default:
      answer->kind = Answer::Kind::kNothing;
      break;
  }
  return S_OK;
}

}  // namespace orvanta::survey
