// Writes the fuzzer's seed corpus into the folder given as the argument: valid files of every
// layout the tests use, and every truncation of one of them.

#include <string>

#include "support/WavBytes.h"

int main(int argc, char** argv) {
  using namespace velmora::test;
  if (argc < 2) {
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const Bytes samples = pcm16({1, -1, -32768, 32767, 5, 6});
  const std::vector<Bytes> files = {
      wavBytes({}, samples),
      wavBytes({.channels = 1, .bits = 8}, pcm8({0, 128, 255})),
      wavBytes({.channels = 6, .rate = 48000}, samples),
      wavBytes({.fmtSize = 18}, samples),
      wavBytes({.fmtSize = 40}, samples),
      wavBytes({}, {}),
      wavBytes({}, samples, {{"LIST", Bytes(5, 1), true}, {"JUNK", Bytes(3, 0), false}}),
      wavBytes({}, samples, std::vector<Chunk>(9, Chunk{"LIST", Bytes(4, 7), false})),
      wavBytes({.bits = 24}, Bytes(18, 0x80)),
      wavBytes({.bits = 32, .fmtSize = 18, .format = 3}, Bytes(16, 0x3F), {{"fact", Bytes(4, 2)}}),
      wavBytes({.bits = 64, .format = 3}, Bytes(16, 0x40)),
      wavBytes({.channels = 6, .bits = 24, .fmtSize = 40, .format = 0xFFFE, .validBits = 20, .channelMask = 0x3F}, Bytes(36, 1)),
      wavBytes({.bits = 32, .fmtSize = 40, .format = 0xFFFE, .subFormat = 3, .first = {{"JUNK", Bytes(28, 0)}}}, Bytes(16, 0x3F)),
      wavBytes({.riff = "RF64", .first = {{"ds64", Bytes(28, 0)}}}, samples),
  };
  int index = 0;
  for (const Bytes& file : files) {
    writeFile(folder / ("layout-" + std::to_string(index++) + ".wav"), file);
  }
  for (std::size_t length = 0; length < files[0].size(); ++length) {
    writeFile(folder / ("cut-" + std::to_string(length) + ".wav"), Bytes(files[0].begin(), files[0].begin() + static_cast<long>(length)));
  }
  return 0;
}
