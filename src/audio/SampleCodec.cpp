#include "audio/SampleCodec.h"

namespace velmora {

namespace {

struct Row {
  int bits;
  bool floatingPoint;
  const SampleCodec& (*codec)();
};

constexpr Row formats[] = {
    {8, false, pcm8Codec},
    {16, false, pcm16Codec},
    {24, false, pcm24Codec},
    {32, false, pcm32Codec},
    {32, true, float32Codec},
    {64, true, float64Codec},
};

}  // namespace

const SampleCodec* codecFor(int bits, bool floatingPoint) {
  for (const Row& row : formats) {
    if (row.bits == bits && row.floatingPoint == floatingPoint) {
      return &row.codec();
    }
  }
  return nullptr;
}

}  // namespace velmora
