#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "system/ByteSource.h"

// WAV files built byte by byte from the format's table, independent of the program's header code.

namespace velmora::test {

using Bytes = std::vector<unsigned char>;

// Extra chunk before the data chunk; pad appends the RIFF zero byte after an odd body.
struct Chunk {
  std::string id;
  Bytes body;
  bool pad = false;
};

struct WavLayout {
  std::uint16_t channels = 2;
  std::int32_t rate = 44100;
  std::int16_t bits = 16;
  std::int32_t fmtSize = 16;
  std::uint16_t format = 1;
  // Of an extensible format chunk (format 0xFFFE, fmtSize 40 or more): the sub-format's tag, the
  // valid bits and the speaker positions.
  std::uint16_t subFormat = 1;
  std::uint16_t validBits = 0;
  std::uint32_t channelMask = 0;
  std::string riff = "RIFF";
  std::vector<Chunk> first = {};  // chunks before the format chunk
};

// A whole file: the header derived from the layout with its first chunks, the format chunk (an
// extensible one's extension, then zero bytes up to fmtSize), the chunks, the data chunk.
Bytes wavBytes(const WavLayout& layout, const Bytes& data, const std::vector<Chunk>& before = {});
Bytes pcm16(const std::vector<int>& samples);
Bytes pcm8(const std::vector<int>& samples);
void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value);
void appendLe(Bytes& bytes, std::uint64_t value, int width);

void writeFile(const std::filesystem::path& path, const Bytes& bytes);

// A file's bytes held in memory, for the reader.
class MemoryBytes : public ByteSource {
 public:
  // A file of length bytes, zeros after those given.
  explicit MemoryBytes(Bytes bytes, std::int64_t length = -1)
      : bytes(std::move(bytes)), length(length < 0 ? static_cast<std::int64_t>(this->bytes.size()) : length) {}
  std::int64_t size() const override { return length; }
  std::int64_t readAt(std::int64_t offset, unsigned char* to, std::size_t count) const override;

 private:
  Bytes bytes;
  std::int64_t length;
};
Bytes readFile(const std::filesystem::path& path);

}  // namespace velmora::test
