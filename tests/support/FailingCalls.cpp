#include "support/FailingCalls.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace velmora::test {

namespace {

std::mutex lock;
std::vector<FailingCall*> armed;  // under lock
std::atomic<bool> anyArmed{false};

std::string pathOf(int fd) {
  char path[4096];
  const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

FailingCall::FailingCall(std::string name, std::string end, int code, int skip, int count)
    : call(std::move(name)), suffix(std::move(end)), error(code), skipped(skip), times(count) {
  const std::lock_guard held(lock);
  armed.push_back(this);
  anyArmed = true;
}

FailingCall::~FailingCall() {
  const std::lock_guard held(lock);
  std::erase(armed, this);
  anyArmed = !armed.empty();
}

int FailingCall::failures() const {
  const std::lock_guard held(lock);
  return failed;
}

bool FailingCall::failsNow(const char* name, const std::string& path) {
  const std::lock_guard held(lock);
  for (FailingCall* a : armed) {
    if (a->call == name && a->times > 0 && path.ends_with(a->suffix)) {
      if (a->skipped-- > 0) {
        return false;
      }
      --a->times;
      ++a->failed;
      errno = a->error;
      return true;
    }
  }
  return false;
}

namespace {
// The definitions' checks: cheap while nothing is armed.
bool fails(const char* call, int fd) { return anyArmed && FailingCall::failsNow(call, pathOf(fd)); }
bool fails(const char* call, const char* path) { return anyArmed && FailingCall::failsNow(call, path); }
}  // namespace

}  // namespace velmora::test

using velmora::test::fails;

// Each call goes on to the next definition of its name (the C library's or a sanitizer's) unless it is to fail.
template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
#define NEXT(function) next<decltype(&function)>(#function)

extern "C" {

int open(const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, int) : 0;
  va_end(rest);
  return fails("open", path) ? -1 : next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}
ssize_t write(int fd, const void* b, size_t n) { return fails("write", fd) ? -1 : NEXT(write)(fd, b, n); }
ssize_t pread(int fd, void* b, size_t n, off_t at) { return fails("pread", fd) ? -1 : NEXT(pread)(fd, b, n, at); }
int fsync(int fd) { return fails("fsync", fd) ? -1 : NEXT(fsync)(fd); }
int ftruncate(int fd, off_t n) noexcept { return fails("ftruncate", fd) ? -1 : NEXT(ftruncate)(fd, n); }
int fstat(int fd, struct stat* s) noexcept { return fails("fstat", fd) ? -1 : NEXT(fstat)(fd, s); }
int fchown(int fd, uid_t u, gid_t g) noexcept { return fails("fchown", fd) ? -1 : NEXT(fchown)(fd, u, g); }
int fchmod(int fd, mode_t m) noexcept { return fails("fchmod", fd) ? -1 : NEXT(fchmod)(fd, m); }
int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) noexcept {
  return fails("linkat", to) ? -1 : NEXT(linkat)(fromFolder, from, toFolder, to, flags);
}
int rename(const char* from, const char* to) noexcept {
  return fails("rename", from) || fails("rename", to) ? -1 : NEXT(rename)(from, to);
}
int close(int fd) {  // a failed close still releases the descriptor
  const bool failing = fails("close", fd);
  return NEXT(close)(fd) != 0 || failing ? -1 : 0;
}

}  // extern "C"
