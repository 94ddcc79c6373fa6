// The bass boost's recurrence alone: its filter over as many samples as a file holds, a block of
// 32768 music-like samples that stays in the cache filtered again and again into another. One
// filter state runs through every sample, so this is a serial chain whose speed is set by the
// latency of its arithmetic: no program that boosts the bass of that file can take less time.
//
//   velmora-bass-floor samples      prints the seconds it took

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dsp/BassFilter.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::puts("usage: velmora-bass-floor samples");
    return 2;
  }
  const long long samples = std::atoll(argv[1]);
  std::vector<double> in(32768);
  std::vector<double> out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    in[i] = std::trunc(20000 * std::sin(0.01 * static_cast<double>(i)));
  }
  velmora::BassFilter filter;
  const auto start = std::chrono::steady_clock::now();
  for (long long done = 0; done < samples; done += static_cast<long long>(in.size())) {
    for (std::size_t i = 0; i < in.size(); ++i) {
      out[i] = filter.step(in[i]);
    }
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.3f %g\n", took.count(), out[0] + filter.y);
  return 0;
}
