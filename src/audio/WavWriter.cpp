#include "audio/WavWriter.h"

#include <algorithm>
#include <ostream>

#include "audio/WavHeader.h"
#include "system/Failure.h"
#include "system/Process.h"

namespace velmora {

WavWriter::WavWriter(const std::string& target, const SignalFormat& signalFormat, std::int64_t samples, BlockPool& spare)
    : name(target),
      file(target),
      format(signalFormat),
      codec(codecFor(signalFormat.bitspersample, signalFormat.floatingPoint)),
      count(samples),
      pool(spare) {}

void WavWriter::step(SampleBlock&& block, BlockSink&) {
  begin();
  write(block.bytes.data(), block.bytes.size());
  block.bytes = Bytes();  // kept blocks carry their samples' memory only
  pool.giveBack(std::move(block));
}

void WavWriter::drain(BlockSink&) { begin(); }

void WavWriter::begin() {
  if (begun) {
    return;
  }
  begun = true;
  if (codec == nullptr) {
    throw Failure{"Invalid bits per sample " + std::to_string(format.bitspersample), exitFileFailure};
  }
  const SavedHeader header = savedHeader(format, count);
  dataChunkAt = static_cast<std::int64_t>(header.dataChunkAt);
  try {
    file.open();
  } catch (const SaveFailure& failure) {
    fail(failure);
  }
  write(header.bytes.data(), header.dataChunkAt);
  write(header.bytes.data() + header.dataChunkAt, chunkHeaderSize);
}

void WavWriter::write(const unsigned char* data, std::size_t length) {
  try {
    file.write(data, length);
  } catch (const SaveFailure& failure) {
    fail(failure);
  }
}

// A target that cannot be opened, or the part of the file a failed write left it without: the
// header up to the data chunk, the data chunk's header, or the samples.
void WavWriter::fail(const SaveFailure& failure) const {
  const std::int64_t took = failure.took;
  const std::int64_t samplesAt = dataChunkAt + static_cast<std::int64_t>(chunkHeaderSize);
  throw Failure{!failure.opened          ? "I/O error"
                : took < dataChunkAt     ? "Error writing wav!"
                : took < samplesAt       ? "Error writing chk!"
                                         : "Error writing buffer!",
                exitFileFailure};
}

void WavWriter::announce(std::ostream& out) const {
  if (count <= 0) {
    out << "No new data to output!" << std::endl;
  }
}

void WavWriter::conclude(std::ostream& out) {
  process::checkConsole();  // a console whose reader has gone ends the run before the target is touched
  try {
    file.commit();
  } catch (const SaveFailure& failure) {
    fail(failure);
  }
  out << "\nSaved WAV File: " << name << std::endl;
  out << " Sample Rate = (Hz) " << format.samplerate << std::endl;
  out << " Number of Samples = " << count << std::endl;
  out << " Bits Per Sample = " << format.bitspersample << std::endl;
  out << " Number of Channels = " << format.channels << std::endl;
}

}  // namespace velmora
