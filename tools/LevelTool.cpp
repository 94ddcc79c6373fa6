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
#include "system/Failure.h"
#include "system/InputFile.h"

namespace {

constexpr int rate = 44100;

int writeTone(double amplitude, const std::string& name) {
  const int frames = rate / 5;
  const std::vector<unsigned char> header = velmora::savedHeader({rate, 2, 16, 2 * frames}, 2 * frames).bytes;
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

// A whole file's samples (the tool's files are short).
struct Wav {
  velmora::SignalFormat format;
  std::vector<double> samples;
};

int printRms(const Wav& wav) {
  const std::size_t from = wav.samples.size() / 4;
  const std::size_t to = 3 * wav.samples.size() / 4;
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) {
    sum += wav.samples[i] * wav.samples[i];
  }
  std::cout << std::sqrt(sum / static_cast<double>(std::max<std::size_t>(1, to - from))) << "\n";
  return 0;
}

int printEnvelope(const Wav& wav, double milliseconds) {
  const double rate = wav.format.samplerate;
  const auto window = std::max<std::size_t>(1, static_cast<std::size_t>(rate * milliseconds / 1000.0) * static_cast<std::size_t>(wav.format.channels));
  for (std::size_t first = 0; first < wav.samples.size(); first += window) {
    double peak = 0;
    for (std::size_t i = first; i < std::min(wav.samples.size(), first + window); ++i) {
      peak = std::max(peak, std::fabs(wav.samples[i]));
    }
    std::cout << static_cast<double>(first) / (rate * wav.format.channels) << " " << peak << "\n";
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
    velmora::WavReader reader(velmora::InputFile::open(argv[2]));
    try {
      reader.readHeader();
    } catch (const velmora::Failure& failure) {
      std::cout << failure.message << std::endl;
      return 1;
    }
    Wav wav{reader.getFormat(), {}};
    for (velmora::SampleBlock block; reader.readBlock(block);) {
      wav.samples.insert(wav.samples.end(), block.samples.begin(), block.samples.end());
    }
    return mode == "rms" ? printRms(wav) : printEnvelope(wav, std::atof(argv[3]));
  }
  std::cout << "usage: velmora-levels tone <amplitude> <out.wav> | rms <file.wav> | envelope <file.wav> <ms>" << std::endl;
  return 2;
}
