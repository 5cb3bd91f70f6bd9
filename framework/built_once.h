// BuiltOnce: a value that the first caller builds and every caller then reads.
#pragma once

#include <utility>

#include "framework/critical_section.h"

namespace orvanta {

// Callers that arrive together wait for the one that builds; none sees the
// value half-built. A build that throws leaves nothing stored, so the next
// caller builds again. Meant for objects with static storage, which the module
// constructs when it is loaded.
template <class T>
class BuiltOnce {
 public:
  BuiltOnce() = default;
  BuiltOnce(const BuiltOnce&) = delete;
  BuiltOnce& operator=(const BuiltOnce&) = delete;

  // The value, built first by |build| (a function returning T) when no build
  // has succeeded yet. The value never changes once built.
  template <class Build>
  const T& Get(Build&& build) {
    CriticalSectionLock lock(section_);
    if (!built_) {
      value_ = std::forward<Build>(build)();
      built_ = true;
    }
    return value_;
  }

 private:
  CriticalSection section_;
  bool built_ = false;
  T value_{};
};

}  // namespace orvanta
