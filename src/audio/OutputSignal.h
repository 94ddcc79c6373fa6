#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/AudioSignal.h"
#include "audio/WavHeader.h"

// The growable signal that a processing stage appends to, carrying the format of the input it was
// made from; saved as a PCM WAV file. Its array is shared, so the hand-over to the next stage's
// input passes it on without copying.

namespace velmora {

class OutputSignal {
 public:
  explicit OutputSignal(const AudioSignal& source);
  virtual ~OutputSignal() = default;

  void append(double sample) {
    if (count >= capacity) {
      grow();
    }
    outbuff[static_cast<std::ptrdiff_t>(count++)] = sample;
  }

  // Sizes the array once for total samples, so a stage that knows its output length never
  // doubles; appends past it still grow by doubling.
  void reserve(std::int64_t total);
  void save(const std::string& name);

  // The header fields of a saved file of samples values, in 64-bit arithmetic. A count read
  // from one WAV file always fits: its data size was a signed 32-bit value.
  static std::int64_t dataBytesFor(std::int16_t bits, std::int64_t samples);
  static WavHeader headerFor(double rate, std::int16_t channels, std::int16_t bits,
                             std::int64_t samples);
  static ChunkHeader dataChunkFor(std::int16_t bits, std::int64_t samples);

  double getSampleRate() const { return samplerate; }
  std::int16_t getChannels() const { return channels; }
  std::int16_t getBitsPerSample() const { return bitspersample; }
  std::int32_t getCount() const { return count; }
  std::int64_t getCapacity() const { return capacity; }
  const std::shared_ptr<double[]>& getOutBuff() const { return outbuff; }

 private:
  void grow();
  void reallocate(std::int64_t slots);

  double samplerate;
  std::int16_t channels;
  std::int16_t bitspersample;
  std::int32_t count = 0;
  std::int64_t capacity = 0;  // 64-bit so that doubling can never overflow
  std::shared_ptr<double[]> outbuff;
};

}  // namespace velmora
