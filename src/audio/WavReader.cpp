#include "audio/WavReader.h"

#include <algorithm>
#include <ostream>

#include "audio/WavHeader.h"
#include "stream/StreamShape.h"
#include "system/Failure.h"
#include "system/TemporaryFiles.h"

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

// The format chunk's fields that decide the format: its tag (an extensible chunk's sub-format),
// channels, rate and bits.
struct WavReader::FormatChunk {
  std::uint16_t tag = 0;
  std::uint16_t channels = 0;
  std::int32_t rate = 0;
  std::uint16_t blockAlign = 0;
  std::int16_t bits = 0;
  bool extensible = false;
  FormatExtension extension{};
};

void WavReader::readHeader() {
  if (size < 0) {
    fail("I/O error");
  }
  unsigned char headerBytes[wavHeaderSize];
  if (!readBytes(headerBytes, wavHeaderSize)) {
    fail("Can't read WAV Header\n");
  }
  const WavHeader header = decodeWavHeader(headerBytes);
  if (!tagIs(header.riffId, "RIFF", 4) && !tagIs(header.riffId, "RF64", 4) && !tagIs(header.riffId, "BW64", 4)) {
    fail("Invalid RIFF Format " + riffTagText(header.riffId));
  }
  if (!tagIs(header.waveId, "WAVE", 4)) {
    fail("Invalid WAVE Format");
  }
  if (tagIs(header.fmtId, "fmt", 3)) {
    FormatChunk chunk{header.fmtFormat, header.nChannels, header.nSamplesPerSec, header.nBlockAlign, header.nBitsPerSample};
    if (header.fmtFormat == extensibleTag && header.fmtSize >= 40) {
      readExtension(chunk);
    }
    takeFormat(chunk);
    if (!move(static_cast<std::int64_t>(header.fmtSize) - 16)) {
      fail("Seek Error!");
    }
  } else {
    findFormat();
  }
  findData();
}

void WavReader::readExtension(FormatChunk& chunk) {
  unsigned char bytes[formatExtensionSize];
  const std::int64_t here = position;
  if (!readBytes(bytes, formatExtensionSize)) {
    fail("Invalid wav fmtFormat");
  }
  position = here;
  chunk.extensible = true;
  chunk.extension = decodeFormatExtension(bytes);
}

// Chunks before the format chunk (broadcast and field recorders' bext, JUNK, an RF64 file's ds64)
// are skipped by their sizes, each read checked against what is left of the file.
void WavReader::findFormat() {
  position = 12;
  for (;;) {
    unsigned char bytes[chunkHeaderSize];
    if (!readBytes(bytes, chunkHeaderSize)) {
      fail("Invalid fmt Format");
    }
    const ChunkHeader chunk = decodeChunkHeader(bytes);
    const auto length = static_cast<std::uint32_t>(chunk.chunkSize);
    const std::int64_t body = position;
    if (tagIs(chunk.chunkId, "fmt", 3)) {
      unsigned char fields[16];
      if (length < 16 || !readBytes(fields, 16)) {
        fail("Invalid fmt Format");
      }
      FormatChunk format{readLe16(fields), readLe16(fields + 2), static_cast<std::int32_t>(readLe32(fields + 4)),
                         readLe16(fields + 12), static_cast<std::int16_t>(readLe16(fields + 14))};
      if (format.tag == extensibleTag && length >= 40) {
        readExtension(format);
      }
      takeFormat(format);
      skipChunk(body, length);
      return;
    }
    if (tagIs(chunk.chunkId, "data", 4)) {
      fail("Invalid fmt Format");
    }
    unsigned char sizes[24];
    if (tagIs(chunk.chunkId, "ds64", 4) && length >= 24 && readBytes(sizes, 24)) {
      largeDataSize = readLe64(sizes + 8);
    }
    skipChunk(body, length);
  }
}

// Past a chunk's body and, as writers add it after an odd size, its zero pad byte; files that
// omit it still load.
void WavReader::skipChunk(std::int64_t body, std::uint32_t length) {
  position = body + length;
  if (length % 2 == 1 && nextByteIsZero()) {
    ++position;
  }
}

// The format from its chunk's fields: the format tag is checked before the bits, as ever.
void WavReader::takeFormat(const FormatChunk& chunk) {
  const FormatExtension& extension = chunk.extension;
  const bool standard = !chunk.extensible || extension.standardGuid;
  const std::uint16_t tag = chunk.extensible ? extension.subFormat : chunk.tag;
  if ((chunk.tag != pcmTag && chunk.tag != floatTag && !chunk.extensible) || !standard ||
      (tag != pcmTag && tag != floatTag)) {
    fail("Invalid wav fmtFormat");
  }
  codec = codecFor(chunk.bits, tag == floatTag);
  // Beyond 8 and 16 bits, whose frames are read as they always were, a frame must be as long as
  // its samples: a file that says otherwise stores them in a way this reader does not know.
  const bool deep = chunk.bits > 16 || tag == floatTag;
  const bool framed = chunk.blockAlign == chunk.channels * (chunk.bits / 8);
  if (codec == nullptr || (chunk.extensible && extension.validBits > chunk.bits) || (deep && !framed)) {
    fail("Invalid wav nBitsPerSample");
  }
  format.bitspersample = chunk.bits;
  format.samplerate = static_cast<double>(chunk.rate);
  format.channels = static_cast<std::int16_t>(chunk.channels);
  format.floatingPoint = tag == floatTag;
  format.extensible = chunk.extensible;
  format.channelMask = extension.channelMask;
}

// The chunk walk after the format chunk: up to ten chunk headers, every read checked against the
// file's end. A data size that a program writing to a pipe could not finish, or one that passed
// 4 GiB and wrapped (the data that follows is longer by whole multiples of 4 GiB), runs to the end
// of the input; an RF64 file's is in its ds64 chunk.
void WavReader::findData() {
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
  const auto declared = static_cast<std::uint32_t>(chunk.chunkSize);
  const std::int64_t left = size - position;  // the chunk header was read: position <= size
  // A writer that could not finish its header leaves the largest size it can, to be read to the
  // end: all ones, or 0x7FFFF000 less what is left over of a frame; or in ds64 none (0, all ones).
  const std::int64_t frame = std::max<std::int64_t>(1, std::int64_t{format.channels} * codec->bytesPerSample());
  const bool unfinished = declared == unfinishedSize || declared == unfinishedPipeSize - unfinishedPipeSize % frame;
  const bool wrapped = left > declared && (left - declared) % (std::int64_t{1} << 32) == 0;  // past 4 GiB
  std::int64_t dataBytes = declared;
  if (declared == unfinishedSize && largeDataSize && *largeDataSize != 0 && *largeDataSize != ~std::uint64_t{0}) {
    dataBytes = static_cast<std::int64_t>(std::min<std::uint64_t>(*largeDataSize, std::uint64_t{1} << 62));
  } else if (unfinished || wrapped) {
    dataBytes = left;
  }
  if (dataBytes > left) {
    fail("Can't read signal data\n");
  }
  format.nosamples = dataBytes / codec->bytesPerSample();
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

// An interruption that waits for the save (on Windows) stops the stream here too.
void WavReader::drain(BlockSink& next) {
  for (SampleBlock block = pool->take(); readBlock(block); block = pool->take()) {
    if (TemporaryFiles::interruptionPending()) {
      throw Abandonment{Abandonment::Cause::interrupted};
    }
    next.put(std::move(block));
  }
}

void WavReader::conclude(std::ostream& out) { out << " Number of Samples = " << format.nosamples << std::endl; }

}  // namespace velmora
