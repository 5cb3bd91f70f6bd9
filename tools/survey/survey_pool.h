// The survey tool's worker processes: copies of the tool started with
// --worker, each creating a control of its own and asking its share of the
// methods. Processes, not threads: Direct3D and DirectDraw hold one lock per
// process, so threads of one process would take turns; and a worker that
// hangs or crashes can be ended without the survey.
#pragma once

#include <functional>
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

// The worker's side. Opens the pipe that --worker names, after checking that
// a survey made it for a worker (its name carries the survey's process), and
// starts a watcher that ends this process when that survey ends. Null, with
// |error| set, when the pipe is not there.
ScopedHandle ConnectToSurvey(const std::wstring& pipe, std::wstring* error);

// Sends one answer to the survey; false when it could not be written.
bool SendAnswer(HANDLE pipe, std::wstring_view name, const Answer& answer);

}  // namespace orvanta::survey
