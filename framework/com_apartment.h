// ComApartment: COM initialised on the calling thread for the length of a scope.
#pragma once

#include <objbase.h>

namespace orvanta {

// Initialises COM with |flags|; when that succeeded (S_OK or S_FALSE), the
// destructor uninitialises it again, so the thread ends as it began. A thread
// that is in another kind of apartment already stays there untouched.
class ComApartment {
 public:
  // As CoInitialize: a single-threaded apartment.
  ComApartment() : ComApartment(COINIT_APARTMENTTHREADED) {}
  explicit ComApartment(DWORD flags) : result_(CoInitializeEx(nullptr, flags)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

  bool Initialized() const { return SUCCEEDED(result_); }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace orvanta
