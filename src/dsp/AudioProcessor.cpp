#include "dsp/AudioProcessor.h"

#include <iostream>

#include "dsp/BassBoost.h"
#include "dsp/Compressor.h"

namespace velmora {

namespace {
double programBassState = 0.0;
constexpr std::int64_t debugPairs = 100;
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
  output->reserve(2 * pairs);
  BassBoost filter(smoothing, outputGain, bassGain, programBassState);
  for (std::int64_t i = 0; i < pairs; ++i) {
    const double outa = filter.step(input->rci());
    output->append(outa);
    const double outb = filter.step(input->rci());
    output->append(outb);
    if (i > pairs - debugPairs) {
      std::cout << "@i=" << i << " outa=" << outa << " outb=" << outb << " n=" << pairs << std::endl;
    }
  }
  programBassState = filter.state();
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
