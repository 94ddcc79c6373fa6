#include "audio/AudioSignal.h"

#include <algorithm>
#include <sstream>

#include "audio/ProcessExit.h"

namespace velmora {

namespace {
// Dropping read samples moves the held ones to the front; it waits until at least this many, and
// half of what is held, are no longer needed, so that each sample is moved about once.
constexpr std::int64_t dropAtLeast = 1 << 14;
}  // namespace

AudioSignal::AudioSignal(const std::string& name, const SignalFormat& format, BlockQueue& stream, bool whole)
    : filename(name),
      samplerate(format.samplerate),
      channels(format.channels),
      bitspersample(format.bitspersample),
      nosamples(format.nosamples),
      source(&stream),
      wholeNumbers(whole) {}

double AudioSignal::rci() {
  if (nosamples <= 0) {
    failNotReady();
  }
  if (curpos >= nosamples) {
    return 0.0;
  }
  holdUntil(curpos + 1);
  keepFrom = std::max(keepFrom, curpos + 1);
  return *heldAt(curpos++);
}

double AudioSignal::future(std::int32_t offset) {
  if (offset < 0) {
    failFutureNotReady(offset);
  }
  const std::int64_t index = curpos + offset;
  if (index >= nosamples) {
    failPastEnd();
  }
  holdUntil(index + 1);
  return *heldAt(index);
}

void AudioSignal::holdUntil(std::int64_t end) {
  end = std::min<std::int64_t>(end, nosamples);
  while (heldStart + static_cast<std::int64_t>(held.size()) < end) {
    if (!holdNextBlock()) {
      failEndedEarly();
    }
  }
}

bool AudioSignal::holdNextBlock() {
  SampleBlock block;
  if (!source->pop(block)) {
    return false;
  }
  const std::int64_t unneeded = std::min<std::int64_t>(keepFrom - heldStart, static_cast<std::int64_t>(held.size()));
  if (unneeded >= dropAtLeast && 2 * unneeded >= static_cast<std::int64_t>(held.size())) {
    held.erase(held.begin(), held.begin() + unneeded);
    heldStart += unneeded;
  }
  if (held.empty()) {
    std::swap(held, block);  // nothing to keep: the block itself is held, without a copy
  } else {
    held.insert(held.end(), block.begin(), block.end());
  }
  source->giveBack(std::move(block));
  return true;
}

void AudioSignal::advance(std::int64_t count) {
  curpos = std::min<std::int64_t>(curpos + count, nosamples);
}

bool AudioSignal::takeBlock(SampleBlock& block) {
  if (!source->pop(block)) {
    return false;
  }
  curpos += static_cast<std::int64_t>(block.size());
  return true;
}

void AudioSignal::failNotReady() { throw Failure{"rci::input file not ready (or not loaded)!!!", exitReadFailure}; }

void AudioSignal::failFutureNotReady(std::int32_t offset) const {
  std::ostringstream report;
  report << "future::input file not ready (or not loaded)!!!\n"
         << "error handling " << filename << '\n'
         << "nosamples=" << nosamples << " curpos=" << curpos << " offset=" << offset;
  throw Failure{report.str(), exitReadFailure};
}

void AudioSignal::failPastEnd() {
  throw Failure{"future::attempt to read past end of input buffer!", exitReadFailure};
}

// The stream stopped before its announced length: the reader met an error, which it reports.
void AudioSignal::failEndedEarly() { throw Failure{"Can't read signal data\n", exitFileFailure}; }

}  // namespace velmora
