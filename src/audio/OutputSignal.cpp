#include "audio/OutputSignal.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "audio/ProcessExit.h"
#include "audio/SafeFileWriter.h"
#include "audio/SampleArray.h"
#include "audio/WavHeader.h"

namespace velmora {

namespace {

constexpr std::int64_t initialCapacity = 1024;
constexpr std::int64_t encodeBlockSamples = 1 << 19;

// Clamps to the sample range, NaN to 0; the caller's conversion truncates toward zero. Written
// without branches, so that the encoding loops vectorise.
double clamped(double x, double low, double high) {
  const double inside = x < low ? low : (x > high ? high : x);
  return x == x ? inside : 0.0;
}

std::uint8_t encode8(double x) { return static_cast<std::uint8_t>(clamped(x, 0.0, 255.0)); }

std::uint16_t encode16(double x) {
  return static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped(x, -32768.0, 32767.0)));
}

// Samples are encoded and written a block at a time: the file is the same as one large write,
// without a second copy of the whole signal in memory.
std::size_t encodeBlock(const double* samples, std::int64_t n, int bits, unsigned char* out) {
  if (bits == 8) {
    for (std::int64_t i = 0; i < n; ++i) {
      out[i] = encode8(samples[i]);
    }
    return static_cast<std::size_t>(n);
  }
  for (std::int64_t i = 0; i < n; ++i) {
    const std::uint16_t value = encode16(samples[i]);
    out[2 * i] = static_cast<unsigned char>(value);
    out[2 * i + 1] = static_cast<unsigned char>(value >> 8);
  }
  return static_cast<std::size_t>(2 * n);
}

[[noreturn]] void failAllocation(const std::exception& e) {
  endProcess(std::string("Exception ") + e.what(), exitFileFailure);
}

}  // namespace

OutputSignal::OutputSignal(const AudioSignal& source)
    : samplerate(source.getSampleRate()),
      channels(source.getChannels()),
      bitspersample(source.getBitsPerSample()) {}

void OutputSignal::reallocate(std::int64_t slots) {
  try {
    std::shared_ptr<double[]> bigger = allocateSamples(static_cast<std::size_t>(slots));
    std::copy_n(outbuff.get(), count, bigger.get());
    outbuff = std::move(bigger);
    capacity = slots;
  } catch (const std::exception& e) {
    failAllocation(e);
  }
}

void OutputSignal::grow() {
  if (!outbuff) {
    reallocate(initialCapacity);
    return;
  }
  const std::int64_t previous = capacity;
  reallocate(2 * capacity);
  std::fill(outbuff.get() + previous, outbuff.get() + capacity, 0.0);
}

void OutputSignal::reserve(std::int64_t total) {
  if (total > capacity) {
    reallocate(total);
  }
}

void OutputSignal::reserveOver(AudioSignal& source, std::int64_t total) {
  if (count == 0 && total <= source.getNoSamples()) {
    if (std::shared_ptr<double[]> shared = source.shareForOverwrite()) {
      outbuff = std::move(shared);
      capacity = source.getNoSamples();
      return;
    }
  }
  reserve(total);
}

void OutputSignal::save(const std::string& name) {
  if (count <= 0) {
    std::cout << "No new data to output!" << std::endl;
  }
  if (bitspersample != 8 && bitspersample != 16) {
    endProcess("Invalid bits per sample " + std::to_string(bitspersample), exitFileFailure);
  }
  const std::int64_t width = bitspersample / 8;
  const auto header = savedHeaderBytes(samplerate, channels, bitspersample, count);
  std::vector<unsigned char> block;
  try {
    block.resize(static_cast<std::size_t>(std::min<std::int64_t>(count, encodeBlockSamples) * width));
  } catch (const std::exception& e) {
    failAllocation(e);
  }

  SafeFileWriter file(name);
  // Ending the process does not unwind, so the temporary file is removed before each exit.
  auto fail = [&file](const char* message) {
    file.discard();
    endProcess(message, exitFileFailure);
  };
  if (!file.open()) {
    fail("I/O error");
  }
  if (!file.write(header.data(), wavHeaderSize)) {
    fail("Error writing wav!");
  }
  if (!file.write(header.data() + wavHeaderSize, chunkHeaderSize)) {
    fail("Error writing chk!");
  }
  for (std::int64_t done = 0; done < count; done += encodeBlockSamples) {
    const std::int64_t n = std::min<std::int64_t>(count - done, encodeBlockSamples);
    const std::size_t bytes = encodeBlock(outbuff.get() + done, n, bitspersample, block.data());
    if (!file.write(block.data(), bytes)) {
      fail("Error writing buffer!");
    }
  }
  if (!file.commit()) {
    fail("Error writing buffer!");
  }

  std::cout << "\nSaved WAV File: " << name << std::endl;
  std::cout << " Sample Rate = (Hz) " << samplerate << std::endl;
  std::cout << " Number of Samples = " << count << std::endl;
  std::cout << " Bits Per Sample = " << bitspersample << std::endl;
  std::cout << " Number of Channels = " << channels << std::endl;
  count = 0;
}

}  // namespace velmora
