// The survey tool's worker threads: chains of methods asked side by side,
// each thread in a single-threaded apartment of its own with a control
// instance of its own.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "tools/survey/survey_report.h"

namespace orvanta::survey {

// Asks the methods of |chains| (indices into |methods|) on |threads| worker
// threads; each thread creates its control as |options| say and takes the
// next chain until none is left. Stores each answer at its method's index in
// |answers|. Calls |progress| on the calling thread with the number of
// answers in so far, each time one comes in, and returns when every thread
// has ended. A thread that cannot create its control takes no chain, and a
// chain that a thread could not finish keeps its unasked methods empty: the
// caller asks whatever is left itself. The calling thread's apartment keeps
// serving its messages while it waits.
void AskSideBySide(const Options& options, const std::vector<SurveyMethod>& methods,
                   const std::vector<std::vector<size_t>>& chains, int threads,
                   std::vector<std::optional<Answer>>* answers, const std::function<void(int)>& progress);

}  // namespace orvanta::survey
