#include "audio/WavReader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>
#include <vector>

#include "audio/SampleArray.h"
#include "audio/WavHeader.h"

namespace velmora {

namespace {

constexpr int maxChunkHeaders = 10;
constexpr std::int64_t decodeBlockBytes = 1 << 20;

WavContents failure(std::string message) {
  WavContents contents;
  contents.message = std::move(message);
  return contents;
}

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

WavReader::WavReader(std::istream& input, std::int64_t length) : in(input), size(length) {}

bool WavReader::readBytes(unsigned char* destination, std::int64_t count) {
  if (count < 0 || position > size || count > size - position) {
    return false;
  }
  in.clear();
  in.seekg(position);
  in.read(reinterpret_cast<char*>(destination), count);
  if (in.gcount() != count) {
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
  std::int64_t here = position;
  bool zero = readBytes(&byte, 1) && byte == 0;
  position = here;
  return zero;
}

WavContents WavReader::read() {
  unsigned char headerBytes[wavHeaderSize];
  if (!readBytes(headerBytes, wavHeaderSize)) {
    return failure("Can't read WAV Header\n");
  }
  const WavHeader header = decodeWavHeader(headerBytes);
  if (!tagIs(header.riffId, "RIFF", 4)) {
    return failure("Invalid RIFF Format " + riffTagText(header.riffId));
  }
  if (!tagIs(header.waveId, "WAVE", 4)) {
    return failure("Invalid WAVE Format");
  }
  if (!tagIs(header.fmtId, "fmt", 3)) {
    return failure("Invalid fmt Format");
  }
  if (header.fmtFormat != 1) {
    return failure("Invalid wav fmtFormat");
  }
  if (header.nBitsPerSample != 8 && header.nBitsPerSample != 16) {
    return failure("Invalid wav nBitsPerSample");
  }
  if (!move(static_cast<std::int64_t>(header.fmtSize) - 16)) {
    return failure("Seek Error!");
  }

  // The chunk walk: up to ten chunk headers after fmt, every read checked against the file's end.
  ChunkHeader chunk;
  for (int counter = 1;; ++counter) {
    if (counter > maxChunkHeaders) {
      return failure("too many chunks");
    }
    unsigned char chunkBytes[chunkHeaderSize];
    if (!readBytes(chunkBytes, chunkHeaderSize)) {
      return failure("Can't read chunk");
    }
    chunk = decodeChunkHeader(chunkBytes);
    if (tagIs(chunk.chunkId, "data", 4)) {
      break;
    }
    if (!move(chunk.chunkSize)) {
      return failure("Seek Error!");
    }
    // Writers pad odd-sized chunks with a zero byte; files that omit it still load.
    if (chunk.chunkSize > 0 && chunk.chunkSize % 2 == 1 && nextByteIsZero()) {
      move(1);
    }
  }

  WavContents contents;
  if (!decodeSamples(contents, chunk.chunkSize, header.nBitsPerSample)) {
    return contents;
  }
  contents.bitspersample = header.nBitsPerSample;
  contents.samplerate = static_cast<double>(header.nSamplesPerSec);
  contents.channels = static_cast<std::int16_t>(header.nChannels);
  contents.ok = true;
  return contents;
}

// Decodes the data chunk block by block straight into the sample array, which is allocated once
// at its final size after the chunk's size has been checked against what is left of the file.
bool WavReader::decodeSamples(WavContents& contents, std::int32_t dataSize, std::int16_t bits) {
  if (dataSize < 0) {
    contents.message = std::string("Exception ") + std::bad_array_new_length().what();
    return false;
  }
  if (position > size || dataSize > size - position) {
    contents.message = "Can't read signal data\n";
    return false;
  }
  const int width = bits / 8;
  const std::int32_t count = dataSize / width;
  std::vector<unsigned char> block;
  try {
    contents.samples = allocateSamples(static_cast<std::size_t>(count));
    block.resize(static_cast<std::size_t>(std::min<std::int64_t>(dataSize, decodeBlockBytes)));
  } catch (const std::exception& e) {
    contents.samples.reset();
    contents.message = std::string("Exception ") + e.what();
    return false;
  }
  double* out = contents.samples.get();
  std::int64_t remaining = dataSize;
  while (remaining > 0) {
    const std::int64_t bytes = std::min<std::int64_t>(remaining, decodeBlockBytes);
    if (!readBytes(block.data(), bytes)) {
      contents.samples.reset();
      contents.message = "Can't read signal data\n";
      return false;
    }
    const std::int64_t values = bytes / width;
    if (width == 2) {
      for (std::int64_t v = 0; v < values; ++v) {
        *out++ = static_cast<double>(static_cast<std::int16_t>(readLe16(&block[2 * static_cast<std::size_t>(v)])));
      }
    } else {
      for (std::int64_t v = 0; v < values; ++v) {
        *out++ = static_cast<double>(block[static_cast<std::size_t>(v)]);
      }
    }
    remaining -= bytes;
  }
  contents.nosamples = count;
  return true;
}

WavContents readWavFile(const std::string& filename) {
  std::error_code ignored;
  if (std::filesystem::is_directory(filename, ignored)) {
    return failure("I/O error");
  }
  std::ifstream file(filename, std::ios::binary);
  if (!file) {
    return failure("I/O error");
  }
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  file.seekg(0, std::ios::beg);
  if (length < 0) {
    return failure("I/O error");
  }
  WavReader reader(file, length);
  return reader.read();
}

}  // namespace velmora
