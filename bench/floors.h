// The platform floors: for each kind of report, the raw Windows calls that
// the report cannot do without, as one timed function.
#pragma once

#include <windows.h>

#include <span>

namespace orvanta::bench {

struct Floor {
  const char* name;   // short name in the table
  const char* calls;  // what it does, for the table
  // Makes the calls once; false when the platform lacks them.
  bool (*run)();
};

std::span<const Floor> Floors();

// The floor with |name|, or null.
const Floor* FindFloor(const char* name);

}  // namespace orvanta::bench
