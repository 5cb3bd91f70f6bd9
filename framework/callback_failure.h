// CallbackFailure: carries an exception out of a function that the platform
// calls back (an enumeration callback, a window or dialog procedure). No
// exception may cross the platform's frames: the 32-bit build cannot unwind
// through them, and the host process would end. The callback runs its work
// through Run, which keeps whatever the work throws; once the platform call
// has returned, the caller throws it on with Rethrow.
#pragma once

#include <exception>
#include <utility>

namespace orvanta {

class CallbackFailure {
 public:
  // What |work| returns, or |on_failure| when it throws; the exception is kept.
  template <class Result, class Work>
  Result Run(Result on_failure, Work&& work) noexcept {
    try {
      return std::forward<Work>(work)();
    } catch (...) {
      failure_ = std::current_exception();
      return on_failure;
    }
  }

  // Throws the kept exception, if there is one.
  void Rethrow() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  std::exception_ptr failure_;
};

}  // namespace orvanta
