#include "dsp/AudioProcessor.h"

#include <algorithm>
#include <iostream>

#include "dsp/BassBoost.h"
#include "dsp/Compressor.h"

namespace velmora {

namespace {
double programBassState = 0.0;
constexpr std::int64_t debugLinePairs = 99;  // the bass boost reports its last 99 pairs
}  // namespace

AudioProcessor::AudioProcessor(const std::string& name)
    : sourceName(name),
      input(std::make_unique<AudioSignal>(name)),
      output(std::make_unique<OutputSignal>(*input)),
      samplerate(input->getSampleRate()) {}

void AudioProcessor::applyCompressor(double threshold, double slope, double tla, double twnd,
                                     double tatt, double trel, bool truncate) {
  Compressor compressor({threshold, slope, tla, twnd, tatt, trel, truncate}, samplerate);
  compressor.run(*input, *output);
}

double AudioProcessor::bassStep(double sample, double smoothing, double outputGain, double bassGain) {
  BassBoost filter(smoothing, outputGain, bassGain, programBassState);
  const double result = filter.step(sample);
  programBassState = filter.state();
  return result;
}

void AudioProcessor::applyBassBoost(double smoothing, double outputGain, double bassGain) {
  const std::int64_t pairs = input->getNoSamples() / 2;
  if (pairs <= 0) {
    return;
  }
  const std::int64_t start = output->getCount();
  BassBoost filter(smoothing, outputGain, bassGain, programBassState);
  filter.run(*input, *output);
  programBassState = filter.state();
  const double* out = output->getOutBuff().get() + start;
  for (std::int64_t i = std::max<std::int64_t>(0, pairs - debugLinePairs); i < pairs; ++i) {
    std::cout << "@i=" << i << " outa=" << out[2 * i] << " outb=" << out[2 * i + 1] << " n=" << pairs
              << std::endl;
  }
}

void AudioProcessor::useOutputAsInput() {
  input->setSampleRate(output->getSampleRate());
  input->setBitsPerSample(output->getBitsPerSample());
  input->setChannels(output->getChannels());
  input->setInBuff(output->getOutBuff());
  input->setCurPos(0);
  input->setNoSamples(output->getCount());
  std::cout << "new no of samples = " << output->getCount() << std::endl;
  output = std::make_unique<OutputSignal>(*input);
}

void AudioProcessor::saveOutput(const std::string& name) { output->save(name); }

double AudioProcessor::bassState() { return programBassState; }

void AudioProcessor::setBassState(double state) { programBassState = state; }

}  // namespace velmora
