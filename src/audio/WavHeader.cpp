#include "audio/WavHeader.h"

#include <cstdint>

namespace velmora {

namespace {

void writeLe32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<unsigned char>(v >> (8 * i));
  }
}

std::array<char, 4> readTag(const unsigned char* p) {
  std::array<char, 4> tag{};
  std::memcpy(tag.data(), p, 4);
  return tag;
}

void encodeWavHeader(const WavHeader& h, unsigned char* p) {
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

void encodeChunkHeader(const ChunkHeader& c, unsigned char* p) {
  std::memcpy(p, c.chunkId.data(), 4);
  writeLe32(p + 4, static_cast<std::uint32_t>(c.chunkSize));
}

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

std::int64_t dataBytesFor(std::int16_t bits, std::int64_t samples) {
  return (static_cast<std::int64_t>(bits) * samples) / 8;
}

WavHeader headerFor(double rate, std::int16_t channels, std::int16_t bits, std::int64_t samples) {
  const auto wholeRate = static_cast<std::int32_t>(rate);  // read from a header: within 32 bits
  WavHeader header;
  header.riffId = {'R', 'I', 'F', 'F'};
  header.riffSize = static_cast<std::uint32_t>(dataBytesFor(bits, samples) + 36);
  header.waveId = {'W', 'A', 'V', 'E'};
  header.fmtId = {'f', 'm', 't', ' '};
  header.fmtSize = 16;
  header.fmtFormat = 1;
  header.nChannels = static_cast<std::uint16_t>(channels);
  header.nSamplesPerSec = wholeRate;
  header.nAvgBytesPerSec =
      static_cast<std::uint32_t>(static_cast<std::int64_t>(wholeRate) * (bits / 8) * channels);
  header.nBlockAlign = static_cast<std::uint16_t>((channels * bits) / 8);
  header.nBitsPerSample = bits;
  return header;
}

ChunkHeader dataChunkFor(std::int16_t bits, std::int64_t samples) {
  return ChunkHeader{{'d', 'a', 't', 'a'}, static_cast<std::int32_t>(dataBytesFor(bits, samples))};
}

std::array<unsigned char, savedHeaderSize> savedHeaderBytes(double rate, std::int16_t channels,
                                                            std::int16_t bits, std::int64_t samples) {
  std::array<unsigned char, savedHeaderSize> bytes{};
  encodeWavHeader(headerFor(rate, channels, bits, samples), bytes.data());
  encodeChunkHeader(dataChunkFor(bits, samples), bytes.data() + wavHeaderSize);
  return bytes;
}

}  // namespace velmora
