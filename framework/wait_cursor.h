// WaitCursor: shows the wait cursor for the life of the object.
#pragma once

#include <windows.h>

namespace orvanta {

// Puts up the system's wait cursor and puts the previous cursor back when the
// object goes out of scope, on every path out of the caller.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { SetCursor(previous_); }

 private:
  HCURSOR previous_;
};

}  // namespace orvanta
