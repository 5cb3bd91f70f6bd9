// The survey tool's edge, in its worker processes only (the survey runs no code
// of the control's): creates the control and calls its methods through
// IDispatch by name.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/activation_context.h"
#include "framework/com_ptr.h"
#include "framework/scoped_library.h"
#include "tools/survey/survey_report.h"

namespace orvanta::survey {

class SurveyClient {
 public:
  SurveyClient() = default;
  SurveyClient(const SurveyClient&) = delete;
  SurveyClient& operator=(const SurveyClient&) = delete;

  // Creates the control as |options| say, on a thread whose apartment is
  // initialised. On failure returns the exit code to use and sets |error|.
  int Create(const Options& options, std::wstring* error);

  // The methods that the control's type information lists, in its order, the
  // stock About box left out. The control describes itself from its
  // registered type library; without one (--ocx, --here) the type library
  // in the module file is read. On failure sets |error| and returns nothing.
  std::optional<std::vector<SurveyMethod>> ReadMethods(std::wstring* error);

  // The identifier that the control gives |name| when asked with the user's
  // locale or with locale 0 (its own table), or DISPID_UNKNOWN.
  DISPID FindIdentifier(const std::wstring& name);

  // Invokes |method| by its identifier.
  Answer Call(const SurveyMethod& method);

  // The module file whose code answers for the control (the file of its
  // dispatch table), or an empty text when it cannot be told.
  std::wstring ModuleFile() const;

 private:
  int CreateByProgId(std::wstring* error);
  int CreateFromFile(const std::wstring& path, std::wstring* error);

  // Declared in the order of creation, so that the control goes first and the
  // module it lives in last.
  ScopedLibrary library_;
  std::optional<ActivationContext> context_;
  std::optional<ActivationScope> activation_;
  ComPtr<IDispatch> control_;
  std::wstring module_path_;  // the module file, when not created by ProgID
};

// The system's message for |hr|, or an empty text when it has none.
std::wstring SystemMessage(HRESULT hr);

// The running program's file, or an empty text when it cannot be told.
std::wstring ProgramPath();

// The folder of the running program, with a final backslash.
std::wstring ProgramDirectory();

// The file version in the version resource of |path| ("4.1.1.0"), or an
// empty text when it has none.
std::wstring FileVersion(const std::wstring& path);

// |path| made full against the current folder, or |path| itself when that fails.
std::wstring FullPath(const std::wstring& path);

}  // namespace orvanta::survey
