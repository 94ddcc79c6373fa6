#pragma once

#include <cstddef>

// How the samples of one sample format are stored: the bytes of each, and their conversion to and
// from the program's units, a run at a time. Each format is one codec in a file of its own
// (Pcm8Codec.cpp, Pcm16Codec.cpp, ...), named by a row of the table in SampleCodec.cpp.

namespace velmora {

class SampleCodec {
 public:
  virtual ~SampleCodec() = default;
  virtual int bytesPerSample() const = 0;
  // count samples from little-endian bytes, as doubles in the program's units.
  virtual void decode(const unsigned char* bytes, std::size_t count, double* samples) const = 0;
  // count samples into little-endian bytes, with the format's clamping and rounding.
  virtual void encode(const double* samples, std::size_t count, unsigned char* bytes) const = 0;
};

// The codec of samples of bits bits, integer or floating point; none for a format the program
// does not read.
const SampleCodec* codecFor(int bits, bool floatingPoint);

const SampleCodec& pcm8Codec();
const SampleCodec& pcm16Codec();
const SampleCodec& pcm24Codec();
const SampleCodec& pcm32Codec();
const SampleCodec& float32Codec();
const SampleCodec& float64Codec();

}  // namespace velmora
