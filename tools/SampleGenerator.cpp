// Writes a few seconds of synthetic stereo music as a 16-bit 44.1 kHz PCM WAV file: a bass line,
// a chord pad panned across the field and a decaying click on every beat, with loud and quiet
// passages so that the compressor has something to do. Deterministic, so runs are reproducible.
//
//   velmora-sample [seconds|max] [output.wav] [music|dense|speech|tone]   (defaults: 5, sample.wav, music)
//
// "max" writes the largest data chunk a WAV header can announce, 2147483646 bytes (3 h 23 min);
// "dense" is music at a steady level, a kick and a lead over the same bass and pad, as mixed
// and mastered music is; "speech" is a voice-like buzz in syllables and pauses; "tone" is a
// steady 440 Hz tone with white noise.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

#include "audio/WavHeader.h"

namespace {

constexpr int sampleRate = 44100;
constexpr int channelCount = 2;
constexpr double beatsPerSecond = 2.0;

double tone(double frequency, double t) { return std::sin(2.0 * std::numbers::pi * frequency * t); }

// Root frequencies of a four-bar progression, one bar of four beats each.
double rootAt(double t) {
  static constexpr double roots[] = {55.0, 43.65, 49.0, 41.2};
  const auto bar = static_cast<std::size_t>(t * beatsPerSecond / 4.0) % 4;
  return roots[bar];
}

// A slow swell between quiet and loud passages, period eight seconds.
double dynamicsAt(double t) { return 0.35 + 0.65 * (0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / 8.0)); }

void frameAt(double t, double& left, double& right) {
  const double root = rootAt(t);
  const double beatPhase = std::fmod(t * beatsPerSecond, 1.0);
  const double bass = 0.45 * tone(root, t) * std::exp(-3.0 * beatPhase);
  const double pad = 0.12 * (tone(root * 4.0, t) + tone(root * 5.0, t) + tone(root * 6.0, t));
  const double click = 0.3 * std::exp(-60.0 * beatPhase) * tone(2500.0, t);
  const double pan = 0.5 + 0.4 * tone(0.25, t);
  const double level = dynamicsAt(t);
  left = level * (bass + (1.0 - pan) * pad + click);
  right = level * (bass + pan * pad + 0.6 * click);
}

// The same bass and pad at a steady level, with a kick on every beat, a square-ish lead and a
// hiss of hi-hat on the off-beats instead of the click: a small crest factor, as mastered music has.
void denseFrameAt(double t, std::uint32_t& seed, double& left, double& right) {
  const double root = rootAt(t);
  const double beatPhase = std::fmod(t * beatsPerSecond, 1.0);
  const double bass = 0.35 * tone(root, t);
  const double pad = 0.1 * (tone(root * 4.0, t) + tone(root * 5.0, t) + tone(root * 6.0, t));
  const double kick = 0.35 * std::exp(-12.0 * beatPhase) * tone(50.0 + 60.0 * std::exp(-20.0 * beatPhase), t);
  static constexpr double melody[] = {8.0, 10.0, 12.0, 10.0, 9.0, 12.0, 15.0, 12.0};
  const double note = root * melody[static_cast<std::size_t>(t * beatsPerSecond) % 8];
  const double lead = 0.12 * (tone(note, t) + tone(3.0 * note, t) / 3.0 + tone(5.0 * note, t) / 5.0);
  seed = seed * 1664525u + 1013904223u;
  const double hat = 0.04 * std::exp(-30.0 * std::fmod(beatPhase + 0.5, 1.0)) * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
  left = bass + kick + 0.7 * pad + lead + hat;
  right = bass + kick + 0.7 * pad + 0.6 * lead + hat;
}

// Syllables of a voiced buzz, 0.3 s each with a pause after every seventh: harmonics of a gliding
// pitch, weighted by two vowel formants, under a rounded envelope; phrases alternate louder and
// softer, as a voice does.
double speechAt(double t) {
  constexpr double syllable = 0.3;
  const auto index = static_cast<std::size_t>(t / syllable);
  const double phase = std::fmod(t, syllable) / syllable;
  if (index % 8 == 7 || phase > 0.7) {
    return 0.0;
  }
  static constexpr double first[] = {700.0, 400.0, 300.0, 600.0};
  static constexpr double second[] = {1200.0, 2000.0, 2300.0, 1000.0};
  const double pitch = 110.0 + 10.0 * static_cast<double>(index % 3) + 15.0 * tone(0.5, t);
  const auto resonance = [](double f, double centre) { return 1.0 / (1.0 + std::pow((f - centre) / 120.0, 2.0)); };
  double buzz = 0.0;
  for (int h = 1; h <= 30; ++h) {
    const double f = h * pitch;
    buzz += (resonance(f, first[index % 4]) + 0.5 * resonance(f, second[index % 4]) + 0.05) / h * tone(f, t);
  }
  const double envelope = std::pow(std::sin(std::numbers::pi * phase / 0.7), 2.0);
  const double phrase = (static_cast<std::size_t>(t / 2.4) % 2 == 0) ? 0.5 : 0.25;
  return phrase * envelope * buzz;
}

std::int16_t toSample(double value) {
  const double scaled = std::round(value * 26000.0);
  return static_cast<std::int16_t>(std::fmax(-32768.0, std::fmin(32767.0, scaled)));
}

// A 440 Hz tone at a quarter of full scale with white noise 32 dB below it, from a fixed seed.
void toneFrameAt(double t, std::uint32_t& seed, double& left, double& right) {
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
  };
  left = 0.25 * tone(440.0, t) + 0.006 * noise();
  right = 0.25 * tone(440.0, t) + 0.006 * noise();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string length = argc > 1 ? argv[1] : "5";
  const std::string name = argc > 2 ? argv[2] : "sample.wav";
  const std::string kind = argc > 3 ? argv[3] : "music";
  // The data size must fit the header's signed 32-bit field: "max" is its largest even size.
  const double seconds = std::atof(length.c_str());
  const std::int64_t samples = length == "max" ? 1073741823 : static_cast<std::int64_t>(seconds * sampleRate) * channelCount;
  if (length != "max" && (!(seconds > 0.0) || seconds * sampleRate * channelCount * 2 > 2147483000.0)) {
    std::cout << "seconds must be positive and the data below 2 GiB" << std::endl;
    return 1;
  }

  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  const std::vector<unsigned char> header = velmora::savedHeader({sampleRate, channelCount, 16, samples}, samples).bytes;
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  std::vector<unsigned char> block;
  block.reserve(4 * 65536);
  std::uint32_t seed = 12345;
  for (std::int64_t written = 0; written < samples;) {
    const double t = static_cast<double>(written / channelCount) / sampleRate;
    double left = 0.0;
    double right = 0.0;
    if (kind == "tone") {
      toneFrameAt(t, seed, left, right);
    } else if (kind == "dense") {
      denseFrameAt(t, seed, left, right);
    } else if (kind == "speech") {
      left = right = speechAt(t);
    } else {
      frameAt(t, left, right);
    }
    for (const double value : {left, right}) {
      if (written < samples) {  // "max" ends with half a frame
        const auto sample = static_cast<std::uint16_t>(toSample(value));
        block.push_back(static_cast<unsigned char>(sample & 0xFF));
        block.push_back(static_cast<unsigned char>(sample >> 8));
        ++written;
      }
    }
    if (block.size() >= 4 * 65536 || written == samples) {
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.close();
  if (!out) {
    std::cout << "cannot write " << name << std::endl;
    return 1;
  }
  std::cout << "wrote " << name << ": " << samples << " samples at " << sampleRate << " Hz" << std::endl;
  return 0;
}
