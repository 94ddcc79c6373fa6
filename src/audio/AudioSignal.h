#pragma once

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
  void setInBuff(std::shared_ptr<double[]> samples) { inbuff = std::move(samples); }

  // All samples at once, for loops that have checked their own bounds (empty without an array).
  std::span<const double> view() const {
    if (!inbuff || nosamples <= 0) {
      return {};
    }
    return {inbuff.get(), static_cast<std::size_t>(nosamples)};
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
};

}  // namespace velmora
