#include "audio/WavHeader.h"

#include <algorithm>

namespace velmora {

namespace {

// The fourteen bytes that follow the format tag in the GUID of an extensible chunk's sub-format.
constexpr unsigned char guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::array<char, 4> readTag(const unsigned char* p) {
  std::array<char, 4> tag{};
  std::memcpy(tag.data(), p, 4);
  return tag;
}

// Appends little-endian fields and tags to a header under construction.
class HeaderBytes {
 public:
  void tag(const char* text) { raw(reinterpret_cast<const unsigned char*>(text), 4); }
  void le(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
      bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
  }
  void raw(const unsigned char* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      bytes.push_back(from[i]);
    }
  }
  std::vector<unsigned char> bytes;
};

}  // namespace

WavHeader decodeWavHeader(const unsigned char* p) {
  WavHeader h;
  h.riffId = readTag(p);
  h.riffSize = readLe32(p + 4);
  h.waveId = readTag(p + 8);
  h.fmtId = readTag(p + 12);
  h.fmtSize = static_cast<std::int32_t>(readLe32(p + 16));
  h.fmtFormat = readLe16(p + 20);
  h.nChannels = readLe16(p + 22);
  h.nSamplesPerSec = static_cast<std::int32_t>(readLe32(p + 24));
  h.nAvgBytesPerSec = readLe32(p + 28);
  h.nBlockAlign = readLe16(p + 32);
  h.nBitsPerSample = static_cast<std::int16_t>(readLe16(p + 34));
  return h;
}

ChunkHeader decodeChunkHeader(const unsigned char* p) {
  return ChunkHeader{readTag(p), static_cast<std::int32_t>(readLe32(p + 4))};
}

FormatExtension decodeFormatExtension(const unsigned char* p) {
  return FormatExtension{readLe16(p + 2), readLe32(p + 4), readLe16(p + 8), std::equal(guidTail, guidTail + 14, p + 10)};
}

SavedHeader savedHeader(const SignalFormat& f, std::int64_t samples) {
  const auto bits = static_cast<std::int64_t>(f.bitspersample);
  const std::int64_t dataBytes = (bits * samples) / 8;
  const std::int64_t frames = f.channels > 0 ? samples / f.channels : 0;
  const bool fact = f.floatingPoint || f.extensible;
  const std::int64_t formatSize = f.extensible ? 40 : (f.floatingPoint ? 18 : 16);
  const std::int64_t plainHeader = 12 + 8 + formatSize + (fact ? 12 : 0) + 8;
  const bool rf64 = plainHeader - 8 + dataBytes > 0xFFFFFFFF;
  const std::int64_t riffSize = plainHeader + (rf64 ? 36 : 0) - 8 + dataBytes;
  const auto wholeRate = static_cast<std::int32_t>(f.samplerate);  // read from a header: within 32 bits

  HeaderBytes h;
  h.tag(rf64 ? "RF64" : "RIFF");
  h.le(rf64 ? 0xFFFFFFFF : static_cast<std::uint64_t>(riffSize), 4);
  h.tag("WAVE");
  if (rf64) {
    h.tag("ds64");
    h.le(28, 4);
    h.le(static_cast<std::uint64_t>(riffSize), 8);
    h.le(static_cast<std::uint64_t>(dataBytes), 8);
    h.le(static_cast<std::uint64_t>(frames), 8);
    h.le(0, 4);  // no table of other sizes
  }
  h.tag("fmt ");
  h.le(static_cast<std::uint64_t>(formatSize), 4);
  const std::uint16_t subFormat = f.floatingPoint ? floatTag : pcmTag;
  h.le(f.extensible ? extensibleTag : subFormat, 2);
  h.le(static_cast<std::uint16_t>(f.channels), 2);
  h.le(static_cast<std::uint32_t>(wholeRate), 4);
  h.le(static_cast<std::uint32_t>(static_cast<std::int64_t>(wholeRate) * (bits / 8) * f.channels), 4);
  h.le(static_cast<std::uint16_t>((f.channels * bits) / 8), 2);
  h.le(static_cast<std::uint16_t>(bits), 2);
  if (f.extensible) {
    h.le(22, 2);
    h.le(static_cast<std::uint16_t>(bits), 2);  // every bit of the container is worked and written
    h.le(f.channelMask, 4);
    h.le(subFormat, 2);
    h.raw(guidTail, sizeof guidTail);
  } else if (f.floatingPoint) {
    h.le(0, 2);
  }
  if (fact) {
    h.tag("fact");
    h.le(4, 4);
    h.le(static_cast<std::uint64_t>(std::min<std::int64_t>(frames, 0xFFFFFFFF)), 4);
  }
  const std::size_t dataChunkAt = h.bytes.size();
  h.tag("data");
  h.le(rf64 ? 0xFFFFFFFF : static_cast<std::uint64_t>(dataBytes), 4);
  return {std::move(h.bytes), dataChunkAt};
}

}  // namespace velmora
