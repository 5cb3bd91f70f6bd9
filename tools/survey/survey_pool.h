// The survey tool's worker processes: copies of the tool started with
// --worker, each creating a control of its own and asking its share of the
// methods. Processes, not threads: Direct3D and DirectDraw hold one lock per
// process, so threads of one process would take turns.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "tools/survey/survey_report.h"

namespace orvanta::survey {

// Asks the methods of |shares| (indices into |methods|) in one worker process
// per share, each creating its control as |options| say, and stores each
// answer at its method's index in |answers|. While the workers run,
// |meanwhile| is called on the calling thread, which has one processor to
// itself for it: the workers use the others until it returns. With a single
// processor, |meanwhile| is called once the workers have ended. Calls
// |progress| on the calling thread with the number of answers in so far, each
// time one comes in, and returns when every worker has ended. A worker that
// cannot be started or cannot create its control leaves its methods empty:
// the caller asks whatever is left itself.
void AskSideBySide(const Options& options, const std::vector<SurveyMethod>& methods,
                   const std::vector<std::vector<size_t>>& shares, const std::function<void()>& meanwhile,
                   std::vector<std::optional<Answer>>* answers, const std::function<void(int)>& progress);

}  // namespace orvanta::survey
