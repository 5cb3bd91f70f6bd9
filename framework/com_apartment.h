// ComApartment: COM initialised on the calling thread for the life of the
// object.
#pragma once

#include <windows.h>

namespace orvanta {

// Calls CoInitialize and, when destroyed, CoUninitialize only if that call
// succeeded (S_OK or S_FALSE). A thread already in another apartment keeps it;
// Initialized() then says false and nothing is undone.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }

  bool Initialized() const { return initialized_; }

 private:
  bool initialized_;
};

}  // namespace orvanta
