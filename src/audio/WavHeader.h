#pragma once

#include <array>
#include <cstdint>
#include <cstring>

// The fixed layout of a PCM WAV file: the 36-byte RIFF header with the 16-byte body of the fmt
// chunk, and the 8-byte header of every chunk after it. All multi-byte fields are little-endian;
// the records are packed to and from bytes explicitly, so host layout and byte order never matter.

namespace velmora {

inline constexpr std::size_t wavHeaderSize = 36;
inline constexpr std::size_t chunkHeaderSize = 8;

struct WavHeader {
  std::array<char, 4> riffId{};
  std::uint32_t riffSize = 0;
  std::array<char, 4> waveId{};
  std::array<char, 4> fmtId{};
  std::int32_t fmtSize = 0;
  std::uint16_t fmtFormat = 0;
  std::uint16_t nChannels = 0;
  std::int32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::int16_t nBitsPerSample = 0;
};

struct ChunkHeader {
  std::array<char, 4> chunkId{};
  std::int32_t chunkSize = 0;
};

inline std::uint32_t readLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint16_t readLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline void writeLe32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<unsigned char>(v >> (8 * i));
  }
}

inline void writeLe16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline std::array<char, 4> readTag(const unsigned char* p) {
  std::array<char, 4> tag{};
  std::memcpy(tag.data(), p, 4);
  return tag;
}

inline WavHeader decodeWavHeader(const unsigned char* p) {
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

inline void encodeWavHeader(const WavHeader& h, unsigned char* p) {
  std::memcpy(p, h.riffId.data(), 4);
  writeLe32(p + 4, h.riffSize);
  std::memcpy(p + 8, h.waveId.data(), 4);
  std::memcpy(p + 12, h.fmtId.data(), 4);
  writeLe32(p + 16, static_cast<std::uint32_t>(h.fmtSize));
  writeLe16(p + 20, h.fmtFormat);
  writeLe16(p + 22, h.nChannels);
  writeLe32(p + 24, static_cast<std::uint32_t>(h.nSamplesPerSec));
  writeLe32(p + 28, h.nAvgBytesPerSec);
  writeLe16(p + 32, h.nBlockAlign);
  writeLe16(p + 34, static_cast<std::uint16_t>(h.nBitsPerSample));
}

inline ChunkHeader decodeChunkHeader(const unsigned char* p) {
  return ChunkHeader{readTag(p), static_cast<std::int32_t>(readLe32(p + 4))};
}

inline void encodeChunkHeader(const ChunkHeader& c, unsigned char* p) {
  std::memcpy(p, c.chunkId.data(), 4);
  writeLe32(p + 4, static_cast<std::uint32_t>(c.chunkSize));
}

inline bool tagIs(const std::array<char, 4>& tag, const char* text, std::size_t length) {
  return std::memcmp(tag.data(), text, length) == 0;
}

}  // namespace velmora
