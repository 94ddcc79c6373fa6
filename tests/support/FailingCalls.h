#pragma once

#include <string>

// Makes chosen system calls of this test program fail as a full disk, a lost permission or a busy
// name would. The test program defines these C library functions itself, so its definitions come
// first, and passes every call on to the library's own except the ones a FailingCall picks out.

namespace velmora::test {

// While alive, the call named call ("open", "write", "read", "lseek", "fsync", "ftruncate",
// "close", "rename", "linkat", "fstat", "fchown", "fchmod") fails with error on a file whose path
// ends with suffix ("rename": either name; "linkat": the new one), once skipped such calls have
// succeeded, times times.
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
