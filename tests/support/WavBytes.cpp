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

Bytes wavBytes(const WavLayout& layout, const Bytes& data, const std::vector<Chunk>& before) {
  Bytes body;  // everything after the riffSize field
  appendTag(body, "WAVE");
  appendTag(body, "fmt ");
  appendLe(body, static_cast<std::uint32_t>(layout.fmtSize), 4);
  appendLe(body, layout.format, 2);
  appendLe(body, layout.channels, 2);
  appendLe(body, static_cast<std::uint32_t>(layout.rate), 4);
  appendLe(body, static_cast<std::uint32_t>(layout.rate * layout.channels * (layout.bits / 8)), 4);
  appendLe(body, static_cast<std::uint16_t>(layout.channels * layout.bits / 8), 2);
  appendLe(body, static_cast<std::uint16_t>(layout.bits), 2);
  body.resize(body.size() + static_cast<std::size_t>(std::max(0, layout.fmtSize - 16)), 0);
  std::vector<Chunk> chunks(before);
  chunks.push_back({"data", data, false});
  for (const Chunk& chunk : chunks) {
    appendTag(body, chunk.id);
    appendLe(body, chunk.body.size(), 4);
    body.insert(body.end(), chunk.body.begin(), chunk.body.end());
    if (chunk.pad && chunk.body.size() % 2 == 1) {
      body.push_back(0);
    }
  }
  Bytes file;
  appendTag(file, "RIFF");
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
  const auto from = std::min(bytes.size(), static_cast<std::size_t>(offset));
  const std::size_t n = std::min(count, bytes.size() - from);
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), n, to);
  return static_cast<std::int64_t>(n);
}

}  // namespace velmora::test
