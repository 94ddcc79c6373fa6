#include "support/FailingCalls.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace velmora::test {

namespace {

struct Armed {
  std::string call;
  std::string suffix;
  int error = 0;
  int skipped = 0;
  int times = 0;
  int failures = 0;
  bool inUse = false;
};

std::mutex lock;
std::array<Armed, 4> armed;
std::atomic<int> inUse{0};

std::string pathOf(int fd) {
  char path[4096];
  const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// Whether this call is one to fail; errno is then set.
bool failsNow(const char* call, const std::string& path) {
  const std::lock_guard held(lock);
  for (Armed& a : armed) {
    if (a.inUse && a.call == call && a.times > 0 && path.ends_with(a.suffix)) {
      if (a.skipped > 0) {
        --a.skipped;
        return false;
      }
      --a.times;
      ++a.failures;
      errno = a.error;
      return true;
    }
  }
  return false;
}

bool failsNow(const char* call, int fd) { return inUse > 0 && failsNow(call, pathOf(fd)); }
bool failsNow(const char* call, const char* path) { return inUse > 0 && failsNow(call, std::string(path)); }

}  // namespace

FailingCall::FailingCall(const std::string& call, const std::string& suffix, int error, int skipped, int times) {
  const std::lock_guard held(lock);
  slot = 0;
  while (armed[static_cast<std::size_t>(slot)].inUse) {
    ++slot;
  }
  armed[static_cast<std::size_t>(slot)] = {call, suffix, error, skipped, times, 0, true};
  ++inUse;
}

FailingCall::~FailingCall() {
  const std::lock_guard held(lock);
  armed[static_cast<std::size_t>(slot)].inUse = false;
  --inUse;
}

int FailingCall::failures() const {
  const std::lock_guard held(lock);
  return armed[static_cast<std::size_t>(slot)].failures;
}

}  // namespace velmora::test

using velmora::test::failsNow;

// Each call is passed on to the next definition of its name (the C library's, or a sanitizer's)
// unless it is one to fail.
template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

extern "C" {

int open(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, int) : 0;
  va_end(rest);
  return failsNow("open", path) ? -1 : next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}
ssize_t write(int fd, const void* b, size_t n) { return failsNow("write", fd) ? -1 : next<decltype(&write)>("write")(fd, b, n); }
ssize_t read(int fd, void* b, size_t n) { return failsNow("read", fd) ? -1 : next<decltype(&read)>("read")(fd, b, n); }
off_t lseek(int fd, off_t at, int from) noexcept { return failsNow("lseek", fd) ? -1 : next<decltype(&lseek)>("lseek")(fd, at, from); }
int fsync(int fd) { return failsNow("fsync", fd) ? -1 : next<decltype(&fsync)>("fsync")(fd); }
int ftruncate(int fd, off_t n) noexcept { return failsNow("ftruncate", fd) ? -1 : next<decltype(&ftruncate)>("ftruncate")(fd, n); }
int fstat(int fd, struct stat* s) noexcept { return failsNow("fstat", fd) ? -1 : next<decltype(&fstat)>("fstat")(fd, s); }
int fchown(int fd, uid_t u, gid_t g) noexcept { return failsNow("fchown", fd) ? -1 : next<decltype(&fchown)>("fchown")(fd, u, g); }
int fchmod(int fd, mode_t m) noexcept { return failsNow("fchmod", fd) ? -1 : next<decltype(&fchmod)>("fchmod")(fd, m); }
FILE* tmpfile() { return failsNow("tmpfile", "") ? nullptr : next<decltype(&tmpfile)>("tmpfile")(); }
int rename(const char* from, const char* to) noexcept {
  return failsNow("rename", from) || failsNow("rename", to) ? -1 : next<decltype(&rename)>("rename")(from, to);
}
int close(int fd) {  // a failed close still releases the descriptor
  const bool fails = failsNow("close", fd);
  return next<decltype(&close)>("close")(fd) != 0 || fails ? -1 : 0;
}

}  // extern "C"
