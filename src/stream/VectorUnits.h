#pragma once

#include <atomic>

// Whether the loops that have a version for the processor's 256-bit vectors (AVX2) take it. They
// choose at run time, so the program runs on any x86-64 processor: without them (or elsewhere) the
// direct loops run, which give the same bytes. Tests run both and compare them.

namespace velmora {

class VectorUnits {
 public:
  static bool wide() { return allowed.load(std::memory_order_relaxed) && present(); }
  static void allowWide(bool allow) { allowed = allow; }

 private:
  static bool present() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
  }
  static inline std::atomic<bool> allowed{true};
};

}  // namespace velmora
