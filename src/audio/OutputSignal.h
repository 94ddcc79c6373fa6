#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "audio/AudioSignal.h"

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

  // Appends added samples at once: returns their slots, for the caller to fill, with the
  // bounds checked once instead of per sample.
  std::span<double> extend(std::int64_t added) {
    if (count + added > capacity) {
      reserve(count + added);
    }
    const std::span<double> slots(outbuff.get() + count, static_cast<std::size_t>(added));
    count = static_cast<std::int32_t>(count + added);
    return slots;
  }

  // Sizes the array once for total samples, so a stage that knows its output length never
  // doubles; appends past it still grow by doubling.
  void reserve(std::int64_t total);
  // Makes room for a stage that reads source and appends total samples. An empty signal takes
  // over source's array when source alone holds it and it is long enough: a stage appends one
  // output per sample read, so each output overwrites a sample already consumed, and the whole
  // file needs one array. Otherwise (a copy shares the array) it reserves an array of its own.
  void reserveOver(AudioSignal& source, std::int64_t total);
  void save(const std::string& name);

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
