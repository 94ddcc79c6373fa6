#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The in-memory input audio of one file: its format, all of its samples as doubles in the file's
// integer units, and a read cursor. Sample arrays are shared: signals handed the same array read
// it in place, and it is released when no signal refers to it any more.

namespace velmora {

class AudioSignal {
 public:
  explicit AudioSignal(const std::string& name);
  explicit AudioSignal(const char* name);
  AudioSignal(const AudioSignal& other);
  AudioSignal& operator=(const AudioSignal&) = delete;
  virtual ~AudioSignal() = default;

  double getSampleRate() const { return samplerate; }
  void setSampleRate(double rate) { samplerate = rate; }
  std::int16_t getChannels() const { return channels; }
  void setChannels(std::int16_t count) { channels = count; }
  std::int16_t getBitsPerSample() const { return bitspersample; }
  void setBitsPerSample(std::int16_t bits) { bitspersample = bits; }
  std::int32_t getNoSamples() const { return nosamples; }
  void setNoSamples(std::int32_t count) { nosamples = count; }
  void setCurPos(std::int32_t position) { curpos = position; }
  // An array of unknown origin: nothing is known any more about the values it holds.
  void setInBuff(std::shared_ptr<double[]> samples) {
    inbuff = std::move(samples);
    integerBound = 0.0;
  }

  // The samples from the cursor to the end at once, for loops that check their bounds once per
  // pass (empty where rci or future would fail).
  std::span<const double> ahead() const {
    if (!inbuff || nosamples <= 0 || curpos < 0 || curpos >= nosamples) {
      return {};
    }
    return {inbuff.get() + curpos, static_cast<std::size_t>(nosamples - curpos)};
  }
  // Moves the cursor as count calls of rci would, with rci's check made once.
  void advance(std::int32_t count) {
    if (!inbuff || nosamples <= 0 || curpos < 0) {
      failNotReady();
    }
    curpos = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{curpos} + count, nosamples));
  }

  // When the samples are known to be whole numbers (as loaded from a file), the largest magnitude
  // they can have; 0 when nothing is known.
  double knownIntegerBound() const { return integerBound; }

  // The array, for a stage's output that will write each result over a sample this signal has
  // already read; null when another signal shares the array, since a copy must keep its samples.
  std::shared_ptr<double[]> shareForOverwrite() {
    if (inbuff.use_count() != 1) {
      return nullptr;
    }
    integerBound = 0.0;
    return inbuff;
  }

  // The next sample; 0.0 once the cursor has reached the end.
  double rci() {
    if (!inbuff || nosamples <= 0 || curpos < 0) {
      failNotReady();
    }
    if (curpos >= nosamples) {
      return 0.0;
    }
    return inbuff[static_cast<std::ptrdiff_t>(curpos++)];
  }

  // The sample offset places ahead of the cursor; ends the process when that lies past the end.
  double future(std::int32_t offset) const {
    if (!inbuff || nosamples <= 0 || offset < 0 || curpos < 0) {
      failFutureNotReady(offset);
    }
    const std::int64_t index = static_cast<std::int64_t>(curpos) + offset;
    if (index >= nosamples) {
      failPastEnd();
    }
    return inbuff[static_cast<std::ptrdiff_t>(index)];
  }

 private:
  void loadWav();
  [[noreturn]] static void failNotReady();
  [[noreturn]] void failFutureNotReady(std::int32_t offset) const;
  [[noreturn]] static void failPastEnd();

  std::string filename;
  double samplerate = 0.0;
  std::int16_t channels = 0;
  std::int16_t bitspersample = 0;
  std::int32_t curpos = 0;
  std::int32_t nosamples = 0;
  std::shared_ptr<double[]> inbuff;
  double integerBound = 0.0;
};

}  // namespace velmora
