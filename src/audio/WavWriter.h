#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioSignal.h"
#include "audio/BlockQueue.h"
#include "audio/SafeFileWriter.h"

// The last stage: saves a stream of samples as a PCM WAV file. The header is written first, with
// the sample count announced by the input's header; each block is then encoded and written as it
// arrives. A failure stops the writing and is kept for the save point, where the program reports
// it; the rest of the stream is still taken, so that the stages before it finish and print.

namespace velmora {

class WavWriter {
 public:
  // A file named name, in format, that will hold count samples.
  WavWriter(const std::string& name, const SignalFormat& format, std::int64_t count);
  virtual ~WavWriter() = default;

  void run(BlockQueue& samples);
  // After run: the bytes become the file's contents; the failure's message, or nothing.
  std::optional<std::string> commit();
  // Leaves the target as it was.
  void discard() { file.discard(); }

  // Clamps to the sample range, truncates toward zero, NaN as 0; little-endian bytes into out.
  static std::size_t encode(const double* samples, std::size_t count, int bits, unsigned char* out);

 private:
  void writeHeader();
  void fail(const char* message);

  SafeFileWriter file;
  SignalFormat format;
  std::int64_t count;
  std::optional<std::string> failure;
  std::vector<unsigned char> bytes;
};

}  // namespace velmora
