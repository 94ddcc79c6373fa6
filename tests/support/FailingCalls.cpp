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

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

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
using velmora::test::next;

extern "C" {

int open(const char* path, int flags, ...) {
  static const auto real = next<int (*)(const char*, int, ...)>("open");
  va_list rest;
  va_start(rest, flags);
  const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, int) : 0;
  va_end(rest);
  return failsNow("open", path) ? -1 : real(path, flags, mode);
}

ssize_t write(int fd, const void* bytes, size_t count) {
  static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
  return failsNow("write", fd) ? -1 : real(fd, bytes, count);
}

ssize_t read(int fd, void* bytes, size_t count) {
  static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
  return failsNow("read", fd) ? -1 : real(fd, bytes, count);
}

off_t lseek(int fd, off_t offset, int whence) noexcept {
  static const auto real = next<off_t (*)(int, off_t, int)>("lseek");
  return failsNow("lseek", fd) ? -1 : real(fd, offset, whence);
}

int fsync(int fd) {
  static const auto real = next<int (*)(int)>("fsync");
  return failsNow("fsync", fd) ? -1 : real(fd);
}

int ftruncate(int fd, off_t length) noexcept {
  static const auto real = next<int (*)(int, off_t)>("ftruncate");
  return failsNow("ftruncate", fd) ? -1 : real(fd, length);
}

int close(int fd) {
  static const auto real = next<int (*)(int)>("close");
  if (failsNow("close", fd)) {
    real(fd);  // a failed close still releases the descriptor
    return -1;
  }
  return real(fd);
}

int rename(const char* from, const char* to) noexcept {
  static const auto real = next<int (*)(const char*, const char*)>("rename");
  return failsNow("rename", from) || failsNow("rename", to) ? -1 : real(from, to);
}

int fstat(int fd, struct stat* status) noexcept {
  static const auto real = next<int (*)(int, struct stat*)>("fstat");
  return failsNow("fstat", fd) ? -1 : real(fd, status);
}

int fchown(int fd, uid_t owner, gid_t group) noexcept {
  static const auto real = next<int (*)(int, uid_t, gid_t)>("fchown");
  return failsNow("fchown", fd) ? -1 : real(fd, owner, group);
}

int fchmod(int fd, mode_t mode) noexcept {
  static const auto real = next<int (*)(int, mode_t)>("fchmod");
  return failsNow("fchmod", fd) ? -1 : real(fd, mode);
}

FILE* tmpfile() {
  static const auto real = next<FILE* (*)()>("tmpfile");
  return failsNow("tmpfile", "") ? nullptr : real();
}

}  // extern "C"
