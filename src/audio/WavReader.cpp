#include "audio/WavReader.h"

#include <algorithm>
#include <new>
#include <ostream>

#include "audio/WavHeader.h"
#include "stream/StreamShape.h"
#include "system/Failure.h"

namespace velmora {

namespace {

constexpr int maxChunkHeaders = 10;

[[noreturn]] void fail(const std::string& message) { throw Failure{message, exitFileFailure}; }

std::string riffTagText(const std::array<char, 4>& tag) {
  std::string text;
  for (char c : tag) {
    if (c == '\0') {
      break;
    }
    text += c;
  }
  return text;
}

}  // namespace

WavReader::WavReader(std::shared_ptr<const ByteSource> bytes) : source(std::move(bytes)) {
  if (source) {
    size = source->size();
  }
}

bool WavReader::readBytes(unsigned char* destination, std::int64_t count) {
  if (position > size || count > size - position ||
      source->readAt(position, destination, static_cast<std::size_t>(count)) != count) {
    return false;
  }
  position += count;
  return true;
}

// A relative move of the read position. Before the start of the file it fails; past the end it
// succeeds and the next read fails instead.
bool WavReader::move(std::int64_t delta) {
  if (position + delta < 0) {
    return false;
  }
  position += delta;
  return true;
}

bool WavReader::nextByteIsZero() {
  unsigned char byte = 1;
  const std::int64_t here = position;
  const bool zero = readBytes(&byte, 1) && byte == 0;
  position = here;
  return zero;
}

void WavReader::readHeader() {
  if (size < 0) {
    fail("I/O error");
  }
  unsigned char headerBytes[wavHeaderSize];
  if (!readBytes(headerBytes, wavHeaderSize)) {
    fail("Can't read WAV Header\n");
  }
  const WavHeader header = decodeWavHeader(headerBytes);
  if (!tagIs(header.riffId, "RIFF", 4)) {
    fail("Invalid RIFF Format " + riffTagText(header.riffId));
  }
  if (!tagIs(header.waveId, "WAVE", 4)) {
    fail("Invalid WAVE Format");
  }
  if (!tagIs(header.fmtId, "fmt", 3)) {
    fail("Invalid fmt Format");
  }
  if (header.fmtFormat != 1) {
    fail("Invalid wav fmtFormat");
  }
  if (codecFor(header.nBitsPerSample, false) == nullptr) {
    fail("Invalid wav nBitsPerSample");
  }
  if (!move(static_cast<std::int64_t>(header.fmtSize) - 16)) {
    fail("Seek Error!");
  }

  // The chunk walk: up to ten chunk headers after fmt, every read checked against the file's end.
  ChunkHeader chunk;
  for (int counter = 1;; ++counter) {
    if (counter > maxChunkHeaders) {
      fail("too many chunks");
    }
    unsigned char chunkBytes[chunkHeaderSize];
    if (!readBytes(chunkBytes, chunkHeaderSize)) {
      fail("Can't read chunk");
    }
    chunk = decodeChunkHeader(chunkBytes);
    if (tagIs(chunk.chunkId, "data", 4)) {
      break;
    }
    if (!move(chunk.chunkSize)) {
      fail("Seek Error!");
    }
    // Writers pad odd-sized chunks with a zero byte; files that omit it still load.
    if (chunk.chunkSize > 0 && chunk.chunkSize % 2 == 1 && nextByteIsZero()) {
      move(1);
    }
  }

  // A negative size is what the whole-file reader could not allocate; a size past the end of the
  // file is known to fail before any sample is read.
  if (chunk.chunkSize < 0) {
    fail(std::string("Exception ") + std::bad_array_new_length().what());
  }
  if (chunk.chunkSize > size - position) {  // the chunk header was read: position <= size
    fail("Can't read signal data\n");
  }
  codec = codecFor(header.nBitsPerSample, false);
  format.bitspersample = header.nBitsPerSample;
  format.samplerate = static_cast<double>(header.nSamplesPerSec);
  format.channels = static_cast<std::int16_t>(header.nChannels);
  format.nosamples = chunk.chunkSize / codec->bytesPerSample();
  dataStart = position;
}

bool WavReader::readBlock(SampleBlock& block) {
  const std::int64_t count = std::min<std::int64_t>(format.nosamples - decoded, static_cast<std::int64_t>(blockSamples));
  if (count <= 0) {
    return false;
  }
  const int width = codec->bytesPerSample();
  bytes.resize(static_cast<std::size_t>(count * width));
  if (!readBytes(bytes.data(), count * width)) {
    fail("Can't read signal data\n");
  }
  block.samples.resize(static_cast<std::size_t>(count));
  block.windowSums.clear();
  codec->decode(bytes.data(), static_cast<std::size_t>(count), block.samples.data());
  decoded += count;
  return true;
}

std::unique_ptr<SampleCursor> WavReader::cursor() const {
  return std::make_unique<SampleCursor>(source, dataStart, *codec, format.nosamples);
}

void WavReader::drain(BlockSink& next) {
  for (SampleBlock block = pool->take(); readBlock(block); block = pool->take()) {
    next.put(std::move(block));
  }
}

void WavReader::conclude(std::ostream& out) { out << " Number of Samples = " << format.nosamples << std::endl; }

}  // namespace velmora
