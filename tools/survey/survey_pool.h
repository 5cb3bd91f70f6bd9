// The survey tool's worker processes: copies of the tool started with
// --worker, each creating a control of its own and asking its share of the
// methods, or, first, telling which methods the control has. Processes, not
// threads: Direct3D and DirectDraw hold one lock per process, so threads of
// one process would take turns; and a worker whose control hangs or crashes
// can be ended without the survey, which runs no code of the control's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/scoped_handle.h"
#include "tools/survey/survey_report.h"

namespace orvanta::survey {

// Asks the methods of |plan| (indices into |methods|) in one worker process
// per share, each creating its control as |options| say, and returns every
// method's answer, in the order of |methods|. The share alone runs on a
// processor that the others leave to it until it ends (after them, with a
// single processor). Each worker has a deadline (WorkerDeadline); one that
// passes it is ended. A method whose worker crashed, was ended or sent
// something that is not an answer is asked again in a fresh worker of its
// own, one method at a time; if that fails too, its answer is a failure that
// says why. Workers belong to a job that ends them with the survey, inherit
// no handle, and have no console window. Calls |progress| with the number of
// answers in so far and |say| with a message for the user.
std::vector<Answer> AskInWorkers(const Options& options, const std::vector<SurveyMethod>& methods,
                                 const SurveyPlan& plan, const std::function<void(int)>& progress,
                                 const std::function<void(std::wstring_view)>& say);

// What a worker with --describe found: the control's methods that --only
// chooses, in interface order, and the module file that answers for it.
struct Description {
  std::vector<SurveyMethod> methods;
  std::wstring module_file;
};

// Creates the control as |options| say in a worker process with --describe,
// under the deadline of a worker with no methods to ask, and returns what it
// found. When the control could not be created or described, or the worker
// did not answer in time or crashed, returns nothing and sets |status| to the
// exit code and |error| to the message.
std::optional<Description> DescribeInWorker(const Options& options, int* status, std::wstring* error);

// The worker's side of DescribeInWorker: sends |described|, or, when there
// is none, the exit code |status| and the message |error|. False when it
// could not be written.
bool SendDescription(HANDLE pipe, const std::optional<Description>& described, int status, const std::wstring& error);

// The worker's side. Opens the pipe that --worker names, after checking that
// a survey made it for a worker (its name carries the survey's process), and
// starts a watcher that ends this process when that survey ends. Null, with
// |error| set, when the pipe is not there.
ScopedHandle ConnectToSurvey(const std::wstring& pipe, std::wstring* error);

// Sends one answer to the survey; false when it could not be written.
bool SendAnswer(HANDLE pipe, std::wstring_view name, const Answer& answer);

}  // namespace orvanta::survey
