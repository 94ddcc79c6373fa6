#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/SignalFormat.h"

// The layout of a WAV file: the 36-byte RIFF header with the 16-byte body of a format chunk that
// comes first, the 8-byte header of every chunk, the extension of an extensible format chunk and
// the 64-bit sizes of an RF64 file's ds64 chunk. All multi-byte fields are little-endian; the
// records are packed to and from bytes explicitly, so host layout and byte order never matter.
// The reader decodes these records; the writer builds a file's header from its format and length.

namespace velmora {

inline constexpr std::size_t wavHeaderSize = 36;
inline constexpr std::size_t chunkHeaderSize = 8;
inline constexpr std::size_t formatExtensionSize = 24;  // after the 16-byte body: 40 in all

// Format tags of the format chunk and of an extensible one's sub-format.
inline constexpr std::uint16_t pcmTag = 1;
inline constexpr std::uint16_t floatTag = 3;
inline constexpr std::uint16_t extensibleTag = 0xFFFE;

// A data size that a program writing to a pipe could not finish: the data runs to the end.
inline constexpr std::uint32_t unfinishedSize = 0xFFFFFFFF;
inline constexpr std::uint32_t unfinishedPipeSize = 0x7FFFF000;

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

// An extensible format chunk's extension: its valid bits, speaker positions and the sub-format's
// tag (the first two bytes of its GUID; the other fourteen must be the standard ones).
struct FormatExtension {
  std::uint16_t validBits = 0;
  std::uint32_t channelMask = 0;
  std::uint16_t subFormat = 0;
  bool standardGuid = false;
};

inline std::uint32_t readLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t readLe64(const unsigned char* p) {
  return static_cast<std::uint64_t>(readLe32(p)) | (static_cast<std::uint64_t>(readLe32(p + 4)) << 32);
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
// The 24 bytes after a format chunk's first 16.
FormatExtension decodeFormatExtension(const unsigned char* bytes);

// The bytes that precede a saved file's samples, in the format and container of format, for
// samples samples: the plain 44-byte header of integer PCM, or a format chunk of 18 bytes
// (floating point) or of 40 (extensible) followed by a fact chunk; RF64 with a ds64 chunk where the
// sizes pass 32 bits. dataChunkAt: where the data chunk's header begins.
struct SavedHeader {
  std::vector<unsigned char> bytes;
  std::size_t dataChunkAt = 0;
};
SavedHeader savedHeader(const SignalFormat& format, std::int64_t samples);

}  // namespace velmora
