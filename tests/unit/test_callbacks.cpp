// Platform callbacks when memory runs out: what the callback's work throws
// stays inside the callback, the enumeration stops, and the failure reaches
// the collector's caller only after the platform call has returned.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "collectors/sound/sound_reports.h"
#include "collectors/user_orvanta.h"

namespace {

// While set, every allocation through operator new in this program fails.
bool allocations_fail = false;

class AllocationsFail {
 public:
  AllocationsFail() { allocations_fail = true; }
  AllocationsFail(const AllocationsFail&) = delete;
  AllocationsFail& operator=(const AllocationsFail&) = delete;
  ~AllocationsFail() { allocations_fail = false; }
};

}  // namespace

void* operator new(std::size_t size) {
  if (!allocations_fail) {
    if (void* block = std::malloc(size ? size : 1)) return block;
  }
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace orvanta {
namespace {

TEST(PlatformCallbacks, SoundEnumerationKeepsItsFailureAndStops) {
  CString report;
  SoundEnumeration enumeration(report);
  GUID guid = {};
  BOOL go_on = TRUE;
  {
    AllocationsFail fail;
    go_on = SoundDeviceEnumCallback(&guid, L"A sound device with a long name", L"", &enumeration);
  }
  EXPECT_FALSE(go_on);
  EXPECT_THROW(enumeration.failure.Rethrow(), std::bad_alloc);
}

TEST(PlatformCallbacks, SoundcardReportFailsOnceDirectSoundHasReturned) {
  CUserOrvanta user;
  CString first;
  user.GetSoundcardInfo(first);
  if (first.empty()) GTEST_SKIP() << "no sound device to enumerate";
  CString report;  // empty, so the device's name must be allocated
  bool failed = false;
  {
    AllocationsFail fail;
    try {
      user.GetSoundcardInfo(report);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  }
  EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace orvanta
