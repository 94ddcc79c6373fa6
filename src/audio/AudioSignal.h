#pragma once

#include <cstdint>
#include <string>

#include "audio/BlockQueue.h"

// The input audio of one stage: the format and length of a file, and its samples as doubles in
// the file's integer units, arriving block by block from the stage before (the file's reader, or
// the compressor for the bass boost). A stage reads it front to back: rci returns the next sample
// and future looks ahead of the cursor, over a window of the stream that holds just the samples
// still to be read; stages that need no look-ahead take whole blocks as they arrive.

namespace velmora {

// What a WAV header says of its samples.
struct SignalFormat {
  double samplerate = 0.0;
  std::int16_t channels = 0;
  std::int16_t bitspersample = 0;
  std::int32_t nosamples = 0;  // counted over all channels
};

class AudioSignal {
 public:
  // wholeNumbers: every sample is known to be a whole number of the file's bit depth, as decoded
  // from a file; name is the file's, for the look-ahead's failure report.
  AudioSignal(const std::string& name, const SignalFormat& format, BlockQueue& source, bool wholeNumbers);
  AudioSignal(const AudioSignal&) = delete;
  AudioSignal& operator=(const AudioSignal&) = delete;
  virtual ~AudioSignal() = default;

  double getSampleRate() const { return samplerate; }
  std::int16_t getChannels() const { return channels; }
  std::int16_t getBitsPerSample() const { return bitspersample; }
  std::int32_t getNoSamples() const { return nosamples; }
  SignalFormat getFormat() const { return {samplerate, channels, bitspersample, nosamples}; }
  bool holdsWholeNumbers() const { return wholeNumbers; }

  // The next sample; 0.0 once the cursor has reached the end.
  double rci();
  // The sample offset places ahead of the cursor; fails when that lies past the end.
  double future(std::int32_t offset);

  // For loops that check their bounds once per block: holds the samples up to index end (not
  // included, at most the signal's length). heldAt stays valid until the next call that holds more.
  void holdUntil(std::int64_t end);
  const double* heldAt(std::int64_t index) const { return held.data() + (index - heldStart); }
  // Samples before index will not be read again.
  void release(std::int64_t index) { keepFrom = index; }
  // Moves the cursor as count calls of rci would.
  void advance(std::int64_t count);

  // The next block of the stream as it arrived, for a stage that reads every sample this way
  // (never through rci or future); false at the end of the stream. The cursor moves past it.
  bool takeBlock(SampleBlock& block);

 private:
  [[noreturn]] static void failNotReady();
  [[noreturn]] void failFutureNotReady(std::int32_t offset) const;
  [[noreturn]] static void failPastEnd();
  [[noreturn]] static void failEndedEarly();
  bool holdNextBlock();

  std::string filename;
  double samplerate;
  std::int16_t channels;
  std::int16_t bitspersample;
  std::int64_t curpos = 0;
  std::int32_t nosamples;
  BlockQueue* source;
  bool wholeNumbers;
  SampleBlock held;            // the samples from index heldStart on
  std::int64_t heldStart = 0;
  std::int64_t keepFrom = 0;   // samples before it may be dropped
};

}  // namespace velmora
