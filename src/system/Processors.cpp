#include "system/Processors.h"

#include <algorithm>
#include <cstdint>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif
#if defined(__linux__)
#include <sched.h>
#endif

namespace velmora {

unsigned usableProcessors() {
#if defined(__linux__)
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&allowed)));
  }
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

std::chrono::nanoseconds threadTime() {
#if defined(_WIN32)
  FILETIME created, ended, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  const auto ticks = [](const FILETIME& t) { return (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
#else
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
#endif
}

}  // namespace velmora
