#include "audio/OutputSignal.h"

#include <algorithm>

#include "audio/ProcessExit.h"

namespace velmora {

namespace {
// The next stage has given up (the run is being abandoned): nothing more is wanted.
[[noreturn]] void failAbandoned() { throw Failure{"", exitSuccess}; }
}  // namespace

OutputSignal::OutputSignal(const AudioSignal& source, BlockQueue& next)
    : samplerate(source.getSampleRate()),
      channels(source.getChannels()),
      bitspersample(source.getBitsPerSample()),
      sink(&next) {}

void OutputSignal::appendBlock(SampleBlock&& samples) {
  sendPartBlock();
  count += static_cast<std::int64_t>(samples.size());
  send(std::move(samples));
}

void OutputSignal::finish() {
  sendPartBlock();
  sink->close();
}

// Sends what was appended to the block so far, if anything.
void OutputSignal::sendPartBlock() {
  if (filled > 0) {
    block.resize(filled);
    send(std::move(block));
    block.clear();
    filled = 0;
  }
}

// Sends the full block and starts the next one.
void OutputSignal::handOn() {
  if (filled > 0) {
    send(std::move(block));
  }
  block = sink->spare();
  block.resize(blockSamples);
  filled = 0;
}

void OutputSignal::send(SampleBlock&& samples) {
  if (!sink->push(std::move(samples))) {
    failAbandoned();
  }
}

}  // namespace velmora
