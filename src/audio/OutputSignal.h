#pragma once

#include <cstdint>

#include "audio/AudioSignal.h"
#include "audio/BlockQueue.h"

// What a stage produces: samples in the format of the input it was made from, appended in order
// and handed on a full block at a time to the next stage (the bass boost, or the writer that
// saves them as a PCM WAV file).

namespace velmora {

class OutputSignal {
 public:
  static constexpr std::size_t blockSamples = 1 << 15;

  OutputSignal(const AudioSignal& source, BlockQueue& sink);
  OutputSignal(const OutputSignal&) = delete;
  OutputSignal& operator=(const OutputSignal&) = delete;
  virtual ~OutputSignal() = default;

  void append(double sample) {
    if (filled == block.size()) {
      handOn();
    }
    block[filled++] = sample;
    ++count;
  }
  // Hands a whole block on as it stands, after what was appended before it.
  void appendBlock(SampleBlock&& samples);
  // Hands what is left on and marks the end of the stream.
  void finish();

  double getSampleRate() const { return samplerate; }
  std::int16_t getChannels() const { return channels; }
  std::int16_t getBitsPerSample() const { return bitspersample; }
  std::int64_t getCount() const { return count; }

 private:
  void handOn();
  void sendPartBlock();
  void send(SampleBlock&& samples);

  double samplerate;
  std::int16_t channels;
  std::int16_t bitspersample;
  std::int64_t count = 0;  // samples appended so far
  BlockQueue* sink;
  SampleBlock block;       // the block being filled, blockSamples long
  std::size_t filled = 0;
};

}  // namespace velmora
