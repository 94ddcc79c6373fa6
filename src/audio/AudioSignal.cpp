#include "audio/AudioSignal.h"

#include <iostream>
#include <sstream>

#include "audio/ProcessExit.h"
#include "audio/WavReader.h"

namespace velmora {

AudioSignal::AudioSignal(const std::string& name) : filename(name) { loadWav(); }

AudioSignal::AudioSignal(const char* name) {
  filename = name;
  loadWav();
}

AudioSignal::AudioSignal(const AudioSignal& other)
    : samplerate(other.samplerate),
      channels(other.channels),
      bitspersample(other.bitspersample),
      curpos(other.curpos),
      nosamples(other.nosamples),
      inbuff(other.inbuff),
      integerBound(other.integerBound) {}

void AudioSignal::loadWav() {
  inbuff.reset();
  curpos = 0;
  nosamples = 0;
  WavContents contents = readWavFile(filename);
  if (!contents.ok) {
    endProcess(contents.message, exitFileFailure);
  }
  inbuff = std::move(contents.samples);
  nosamples = contents.nosamples;
  bitspersample = contents.bitspersample;
  samplerate = contents.samplerate;
  channels = contents.channels;
  // Decoded samples are whole numbers of the file's bit depth: 0 to 255, or -32768 to 32767.
  integerBound = bitspersample == 8 ? 255.0 : 32768.0;
  std::cout << " Number of Samples = " << nosamples << std::endl;
  curpos = 0;
}

void AudioSignal::failNotReady() {
  endProcess("rci::input file not ready (or not loaded)!!!", exitReadFailure);
}

void AudioSignal::failFutureNotReady(std::int32_t offset) const {
  std::ostringstream report;
  report << "future::input file not ready (or not loaded)!!!\n"
         << "error handling " << filename << '\n';
  if (!inbuff) {
    report << "inbuff is NULL";
  }
  report << "nosamples=" << nosamples << " curpos=" << curpos << " offset=" << offset;
  endProcess(report.str(), exitReadFailure);
}

void AudioSignal::failPastEnd() {
  endProcess("future::attempt to read past end of input buffer!", exitReadFailure);
}

}  // namespace velmora
