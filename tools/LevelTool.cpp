// Measures what the program does to levels, for the pictures in the README.
//
//   velmora-levels tone <amplitude> <out.wav>   a 0.2 s 44.1 kHz stereo square wave of that amplitude
//   velmora-levels rms <file.wav>               RMS of the middle half of the file's samples
//   velmora-levels envelope <file.wav> <ms>     per window of <ms>: start time in seconds, peak |sample|

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "audio/WavHeader.h"
#include "audio/WavReader.h"

namespace {

constexpr int rate = 44100;

int writeTone(double amplitude, const std::string& name) {
  const int frames = rate / 5;
  const auto header = velmora::savedHeaderBytes(rate, 2, 16, 2 * frames);
  std::vector<unsigned char> bytes(header.begin(), header.end());
  bytes.resize(header.size() + 4 * frames);
  const auto value = static_cast<std::int16_t>(std::clamp(amplitude, 0.0, 32767.0));
  for (int frame = 0; frame < frames; ++frame) {
    // Both channels together, the sign changing every 50 frames: every pair's mean is the amplitude.
    const auto sample = static_cast<std::uint16_t>((frame / 50) % 2 == 0 ? value : -value);
    velmora::writeLe16(bytes.data() + 44 + 4 * frame, sample);
    velmora::writeLe16(bytes.data() + 46 + 4 * frame, sample);
  }
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return 0;
}

int printRms(const velmora::WavContents& wav) {
  const std::int32_t from = wav.nosamples / 4;
  const std::int32_t to = 3 * wav.nosamples / 4;
  double sum = 0;
  for (std::int32_t i = from; i < to; ++i) {
    sum += wav.samples.get()[i] * wav.samples.get()[i];
  }
  std::cout << std::sqrt(sum / std::max(1, to - from)) << "\n";
  return 0;
}

int printEnvelope(const velmora::WavContents& wav, double milliseconds) {
  const auto window = std::max<std::int64_t>(1, static_cast<std::int64_t>(wav.samplerate * milliseconds / 1000.0) * wav.channels);
  for (std::int64_t first = 0; first < wav.nosamples; first += window) {
    double peak = 0;
    for (std::int64_t i = first; i < std::min<std::int64_t>(wav.nosamples, first + window); ++i) {
      peak = std::max(peak, std::fabs(wav.samples.get()[i]));
    }
    std::cout << static_cast<double>(first) / (wav.samplerate * wav.channels) << " " << peak << "\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "tone" && argc == 4) {
    return writeTone(std::atof(argv[2]), argv[3]);
  }
  if ((mode == "rms" && argc == 3) || (mode == "envelope" && argc == 4)) {
    const velmora::WavContents wav = velmora::readWavFile(argv[2]);
    if (!wav.ok) {
      std::cout << wav.message << std::endl;
      return 1;
    }
    return mode == "rms" ? printRms(wav) : printEnvelope(wav, std::atof(argv[3]));
  }
  std::cout << "usage: velmora-levels tone <amplitude> <out.wav> | rms <file.wav> | envelope <file.wav> <ms>" << std::endl;
  return 2;
}
