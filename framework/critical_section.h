// CriticalSection: a Windows critical section, and CriticalSectionLock, which
// holds one for the length of a scope.
#pragma once

#include <windows.h>

namespace orvanta {

// Initialised by its constructor and deleted by its destructor. An object with
// static storage is constructed when the module is loaded, before any caller
// can reach it. Re-entrant on one thread, as critical sections are.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  ~CriticalSection() { DeleteCriticalSection(&section_); }

  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// Enters |section| on construction and leaves it on destruction.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
  ~CriticalSectionLock() { section_.Leave(); }

 private:
  CriticalSection& section_;
};

}  // namespace orvanta
