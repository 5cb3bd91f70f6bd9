// The survey tool's edge: creates the control and calls its methods through
// IDispatch by name.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

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

  // Looks |method| up by name and invokes it. On failure sets |error| to a
  // message naming the method and the HRESULT.
  HRESULT Call(const SurveyMethod& method, Answer* answer, std::wstring* error);

 private:
  int CreateByProgId(std::wstring* error);
  int CreateFromFile(const std::wstring& path, std::wstring* error);
  HRESULT FindIdentifier(const SurveyMethod& method, DISPID* id);

  // Declared in the order of creation, so that the control goes first and the
  // module it lives in last.
  ScopedLibrary library_;
  std::optional<ActivationContext> context_;
  std::optional<ActivationScope> activation_;
  ComPtr<IDispatch> control_;
};

// The system's message for |hr|, or an empty text when it has none.
std::wstring SystemMessage(HRESULT hr);

// The folder of the running program, with a final backslash.
std::wstring ProgramDirectory();

}  // namespace orvanta::survey
