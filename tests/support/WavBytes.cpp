#include "support/WavBytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace velmora::test {

void appendLe(Bytes& bytes, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
  }
}

namespace {

void appendTag(Bytes& bytes, const std::string& tag) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes.push_back(i < tag.size() ? static_cast<unsigned char>(tag[i]) : 0);
  }
}

}  // namespace

void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
  }
}

namespace {

void appendChunks(Bytes& body, const std::vector<Chunk>& chunks) {
  for (const Chunk& chunk : chunks) {
    appendTag(body, chunk.id);
    appendLe(body, chunk.body.size(), 4);
    body.insert(body.end(), chunk.body.begin(), chunk.body.end());
    if (chunk.pad && chunk.body.size() % 2 == 1) {
      body.push_back(0);
    }
  }
}

}  // namespace

Bytes wavBytes(const WavLayout& layout, const Bytes& data, const std::vector<Chunk>& before) {
  Bytes body;  // everything after the riffSize field
  appendTag(body, "WAVE");
  appendChunks(body, layout.first);
  appendTag(body, "fmt ");
  appendLe(body, static_cast<std::uint32_t>(layout.fmtSize), 4);
  appendLe(body, layout.format, 2);
  appendLe(body, layout.channels, 2);
  appendLe(body, static_cast<std::uint32_t>(layout.rate), 4);
  appendLe(body, static_cast<std::uint32_t>(layout.rate * layout.channels * (layout.bits / 8)), 4);
  appendLe(body, static_cast<std::uint16_t>(layout.channels * layout.bits / 8), 2);
  appendLe(body, static_cast<std::uint16_t>(layout.bits), 2);
  const std::size_t extended = body.size();
  if (layout.format == 0xFFFE && layout.fmtSize >= 40) {
    const unsigned char guid[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    appendLe(body, 22, 2);
    appendLe(body, layout.validBits, 2);
    appendLe(body, layout.channelMask, 4);
    appendLe(body, layout.subFormat, 2);
    body.insert(body.end(), guid, guid + 14);
  }
  body.resize(extended + static_cast<std::size_t>(std::max(0, layout.fmtSize - 16)), 0);
  std::vector<Chunk> chunks(before);
  chunks.push_back({"data", data, false});
  appendChunks(body, chunks);
  Bytes file;
  appendTag(file, layout.riff);
  appendLe(file, body.size(), 4);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Bytes pcm16(const std::vector<int>& samples) {
  Bytes bytes;
  for (const int sample : samples) {
    appendLe(bytes, static_cast<std::uint16_t>(sample), 2);
  }
  return bytes;
}

Bytes pcm8(const std::vector<int>& samples) { return Bytes(samples.begin(), samples.end()); }

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::int64_t MemoryBytes::readAt(std::int64_t offset, unsigned char* to, std::size_t count) const {
  const auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(length - offset, 0, static_cast<std::int64_t>(count)));
  for (std::size_t i = 0; i < n; ++i) {
    const auto at = static_cast<std::size_t>(offset) + i;
    to[i] = at < bytes.size() ? bytes[at] : 0;
  }
  return static_cast<std::int64_t>(n);
}

}  // namespace velmora::test
