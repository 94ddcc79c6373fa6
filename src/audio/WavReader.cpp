#include "audio/WavReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <new>

#include "audio/WavHeader.h"
#include "system/FileNames.h"
#include "system/ProcessExit.h"

namespace velmora {

namespace {

constexpr int maxChunkHeaders = 10;

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

// A little-endian 16-bit sample: on a little-endian host the bytes are the host's own integer, a
// plain load, which lets the block's conversion vectorise.
std::int16_t sample16(const unsigned char* p) {
  if constexpr (std::endian::native == std::endian::little) {
    std::int16_t value = 0;
    std::memcpy(&value, p, 2);
    return value;
  } else {
    return static_cast<std::int16_t>(readLe16(p));
  }
}

}  // namespace

void decodeSamples(const unsigned char* bytes, std::int64_t count, int bits, double* out) {
  if (bits == 16) {
    for (std::int64_t v = 0; v < count; ++v) {
      out[v] = static_cast<double>(sample16(bytes + 2 * v));
    }
  } else {
    for (std::int64_t v = 0; v < count; ++v) {
      out[v] = static_cast<double>(bytes[v]);
    }
  }
}

WavReader::WavReader(std::istream& stream, std::int64_t length) : in(&stream), size(length) {}

WavReader::WavReader(const std::string& filename) : name(filename), in(&file) {
  std::error_code ignored;
  const std::filesystem::path path = pathOf(filename);
  if (std::filesystem::is_directory(path, ignored)) {
    return;
  }
  file.open(path, std::ios::binary);
  if (file) {
    file.seekg(0, std::ios::end);
    size = file.tellg();
    file.seekg(0, std::ios::beg);
  }
}

bool WavReader::readBytes(unsigned char* destination, std::int64_t count) {
  if (position > size || count > size - position) {
    return false;
  }
  in->clear();
  in->seekg(position);
  in->read(reinterpret_cast<char*>(destination), count);
  if (in->gcount() != count) {
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

std::optional<std::string> WavReader::readHeader() {
  if (size < 0) {
    return "I/O error";
  }
  unsigned char headerBytes[wavHeaderSize];
  if (!readBytes(headerBytes, wavHeaderSize)) {
    return "Can't read WAV Header\n";
  }
  const WavHeader header = decodeWavHeader(headerBytes);
  if (!tagIs(header.riffId, "RIFF", 4)) {
    return "Invalid RIFF Format " + riffTagText(header.riffId);
  }
  if (!tagIs(header.waveId, "WAVE", 4)) {
    return "Invalid WAVE Format";
  }
  if (!tagIs(header.fmtId, "fmt", 3)) {
    return "Invalid fmt Format";
  }
  if (header.fmtFormat != 1) {
    return "Invalid wav fmtFormat";
  }
  if (header.nBitsPerSample != 8 && header.nBitsPerSample != 16) {
    return "Invalid wav nBitsPerSample";
  }
  if (!move(static_cast<std::int64_t>(header.fmtSize) - 16)) {
    return "Seek Error!";
  }

  // The chunk walk: up to ten chunk headers after fmt, every read checked against the file's end.
  ChunkHeader chunk;
  for (int counter = 1;; ++counter) {
    if (counter > maxChunkHeaders) {
      return "too many chunks";
    }
    unsigned char chunkBytes[chunkHeaderSize];
    if (!readBytes(chunkBytes, chunkHeaderSize)) {
      return "Can't read chunk";
    }
    chunk = decodeChunkHeader(chunkBytes);
    if (tagIs(chunk.chunkId, "data", 4)) {
      break;
    }
    if (!move(chunk.chunkSize)) {
      return "Seek Error!";
    }
    // Writers pad odd-sized chunks with a zero byte; files that omit it still load.
    if (chunk.chunkSize > 0 && chunk.chunkSize % 2 == 1 && nextByteIsZero()) {
      move(1);
    }
  }

  // A negative size is what the whole-file reader could not allocate; a size past the end of the
  // file is known to fail before any sample is read.
  if (chunk.chunkSize < 0) {
    return std::string("Exception ") + std::bad_array_new_length().what();
  }
  if (chunk.chunkSize > size - position) {  // the chunk header was read: position <= size
    return "Can't read signal data\n";
  }
  format.bitspersample = header.nBitsPerSample;
  format.samplerate = static_cast<double>(header.nSamplesPerSec);
  format.channels = static_cast<std::int16_t>(header.nChannels);
  format.nosamples = chunk.chunkSize / (header.nBitsPerSample / 8);
  dataStart = position;
  return std::nullopt;
}

bool WavReader::readBlock(SampleBlock& block) {
  const std::int64_t count = std::min<std::int64_t>(format.nosamples - decoded, static_cast<std::int64_t>(blockSamples));
  if (count <= 0) {
    return false;
  }
  const int width = format.bitspersample / 8;
  bytes.resize(static_cast<std::size_t>(count * width));
  if (!readBytes(bytes.data(), count * width)) {
    throw Failure{"Can't read signal data\n", exitFileFailure};
  }
  block.reserve(static_cast<std::size_t>(3 * blockSamples / 2));  // room for the compressor's sums
  block.resize(static_cast<std::size_t>(count));
  decodeSamples(bytes.data(), count, format.bitspersample, block.data());
  decoded += count;
  return true;
}

std::unique_ptr<SampleCursor> WavReader::cursor() const {
  return std::make_unique<SampleCursor>(name, dataStart, format);
}

void WavReader::drain(BlockSink& next) {
  for (SampleBlock block = pool->take(); readBlock(block); block = pool->take()) {
    next.put(std::move(block));
  }
}

}  // namespace velmora
