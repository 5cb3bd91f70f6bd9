// GoogleTest's start signal for the threads it creates, on a Windows event.
// The toolchain's Win32 thread model has no std::mutex or
// std::condition_variable, which GoogleTest's own version uses; with
// GTEST_HAS_NOTIFICATION_ it takes this one. Included ahead of every
// GoogleTest source and test program (see tests/CMakeLists.txt).
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  // Lets every waiting thread go on; waits after this return at once.
  void Notify();
  void WaitForNotification();

 private:
  void* event_;  // a manual-reset event, owned
};

}  // namespace testing::internal
