#include "audio/SampleArray.h"

#include <cstdint>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// AddressSanitizer checks the bounds of arrays from new[] only, so its builds keep to them.
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_HUGE_PAGES 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_HUGE_PAGES 0
#endif
#endif
#if !defined(VELMORA_HUGE_PAGES) && defined(__linux__) && defined(MADV_HUGEPAGE)
#define VELMORA_HUGE_PAGES 1
#endif

namespace velmora {

namespace {

#if VELMORA_HUGE_PAGES
constexpr std::size_t hugePageBytes = std::size_t{2} << 20;

std::size_t roundUp(std::size_t value, std::size_t step) { return (value + step - 1) / step * step; }

// Maps length bytes (a multiple of the huge page) at a huge-page boundary, so that every part of
// the array can be backed by huge pages; the unaligned ends of a larger mapping are returned.
double* mapAligned(std::size_t length) {
  const std::size_t mapped = length + hugePageBytes;
  void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) {
    throw std::bad_alloc();
  }
  const auto start = reinterpret_cast<std::uintptr_t>(base);
  const std::uintptr_t aligned = roundUp(start, hugePageBytes);
  if (aligned > start) {
    munmap(base, aligned - start);
  }
  const std::uintptr_t end = start + mapped;
  if (end > aligned + length) {
    munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  }
  // Only advice: where huge pages are not available the mapping works with ordinary pages.
  madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<double*>(aligned);
}
#endif

}  // namespace

std::shared_ptr<double[]> allocateSamples(std::size_t count) {
  if (count > std::numeric_limits<std::size_t>::max() / sizeof(double)) {
    throw std::bad_array_new_length();
  }
#if VELMORA_HUGE_PAGES
  const std::size_t bytes = count * sizeof(double);
  if (bytes >= hugePageBytes) {
    const std::size_t length = roundUp(bytes, hugePageBytes);
    // The deleter also runs if the shared pointer's own allocation throws.
    return std::shared_ptr<double[]>(mapAligned(length), [length](double* p) { munmap(p, length); });
  }
#endif
  return std::shared_ptr<double[]>(new double[count]);
}

}  // namespace velmora
