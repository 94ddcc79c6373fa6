#pragma once

#include <array>
#include <cstdint>
#include <cstring>

// The fixed layout of a PCM WAV file: the 36-byte RIFF header with the 16-byte body of the fmt
// chunk, and the 8-byte header of every chunk after it. All multi-byte fields are little-endian;
// the records are packed to and from bytes explicitly, so host layout and byte order never matter.
// The reader decodes these records; the writer builds them from a signal's format and length.

namespace velmora {

inline constexpr std::size_t wavHeaderSize = 36;
inline constexpr std::size_t chunkHeaderSize = 8;
inline constexpr std::size_t savedHeaderSize = wavHeaderSize + chunkHeaderSize;

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

inline std::uint16_t readLe16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline void writeLe16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline bool tagIs(const std::array<char, 4>& tag, const char* text, std::size_t length) {
  return std::memcmp(tag.data(), text, length) == 0;
}

WavHeader decodeWavHeader(const unsigned char* bytes);
ChunkHeader decodeChunkHeader(const unsigned char* bytes);

// The size in bytes of samples values of bits each, in 64-bit arithmetic. A count read from one
// WAV file always fits the header: its data size was a signed 32-bit value.
std::int64_t dataBytesFor(std::int16_t bits, std::int64_t samples);
// The header of a saved file: PCM, the format given, samples values; the rate truncated.
WavHeader headerFor(double rate, std::int16_t channels, std::int16_t bits, std::int64_t samples);
ChunkHeader dataChunkFor(std::int16_t bits, std::int64_t samples);
// Both headers of a saved file as the 44 bytes that precede its samples.
std::array<unsigned char, savedHeaderSize> savedHeaderBytes(double rate, std::int16_t channels,
                                                            std::int16_t bits, std::int64_t samples);

}  // namespace velmora
