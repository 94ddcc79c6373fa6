#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "system/ByteSource.h"

// WAV files built byte by byte from the format's table, independent of the program's header code.

namespace velmora::test {

using Bytes = std::vector<unsigned char>;

struct WavLayout {
  std::uint16_t channels = 2;
  std::int32_t rate = 44100;
  std::int16_t bits = 16;
  std::int32_t fmtSize = 16;
  std::uint16_t format = 1;
};

// Extra chunk before the data chunk; pad appends the RIFF zero byte after an odd body.
struct Chunk {
  std::string id;
  Bytes body;
  bool pad = false;
};

// A whole file: the 36-byte header derived from the layout, fmtSize - 16 zero bytes, the chunks, the data chunk.
Bytes wavBytes(const WavLayout& layout, const Bytes& data, const std::vector<Chunk>& before = {});
Bytes pcm16(const std::vector<int>& samples);
Bytes pcm8(const std::vector<int>& samples);
void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value);
void appendLe(Bytes& bytes, std::uint64_t value, int width);

void writeFile(const std::filesystem::path& path, const Bytes& bytes);

// A file's bytes held in memory, for the reader.
class MemoryBytes : public ByteSource {
 public:
  explicit MemoryBytes(Bytes bytes) : bytes(std::move(bytes)) {}
  std::int64_t size() const override { return static_cast<std::int64_t>(bytes.size()); }
  std::int64_t readAt(std::int64_t offset, unsigned char* to, std::size_t count) const override;

 private:
  Bytes bytes;
};
Bytes readFile(const std::filesystem::path& path);

}  // namespace velmora::test
