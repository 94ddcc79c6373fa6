#pragma once

#include <string>

// Chosen system calls of the test program fail as a full disk, a lost permission or a busy name would.

namespace velmora::test {

// While alive, call fails with error on paths ending with suffix ("rename": either name; "linkat": the new one),
// after skipped successes, times times.
class FailingCall {
 public:
  FailingCall(std::string call, std::string suffix, int error, int skipped = 0, int times = 1);
  FailingCall(const FailingCall&) = delete;
  FailingCall& operator=(const FailingCall&) = delete;
  ~FailingCall();

  // How many calls failed: a row whose call was never made tests nothing.
  int failures() const;
  // Whether this call on path is one to fail; errno is then set. Called by the definitions.
  static bool failsNow(const char* call, const std::string& path);

 private:
  std::string call;
  std::string suffix;
  int error;
  int skipped;
  int times;
  int failed = 0;
};

}  // namespace velmora::test
