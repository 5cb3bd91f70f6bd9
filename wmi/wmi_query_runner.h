// WMIQueryRunner: runs the query of one WMIDataHandle against WMI on this
// machine and hands every result object to the handler.
#pragma once

#include "wmi/wmi_data_handle.h"

namespace orvanta {

class WMIQueryRunner {
 public:
  // Initialises COM on the calling thread as a single-threaded apartment,
  // connects to the handle's namespace, runs its query and, for each result
  // object in turn, reads the handle's properties into its map (values that
  // an object lacks keep the previous object's text) and calls HandleData.
  // Returns 1 when the query ran, also when it gave no object, and 0 when a
  // step before it failed (a thread already in the multithreaded apartment
  // gets no query). Leaves the thread's COM state as it found it. Throws
  // std::bad_alloc when memory runs out, after releasing what it obtained.
  static int Run(WMIDataHandle& handle);
};

}  // namespace orvanta
