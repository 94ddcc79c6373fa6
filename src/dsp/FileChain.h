#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Settings.h"
#include "stream/BlockPool.h"
#include "stream/Stage.h"
#include "system/ProgressLine.h"

// The chain of stages of one input file, built as a list from the settings: the file's reader;
// with -c, the compressor's window sums and then its gain; with -b, the bass boost (after the
// compressor, one stage with its gain, GainAndBassBoost); and the writer that saves. Running it has
// a StageChain run the stages (with a progress line on standard error where it is a terminal), then
// prints, on the caller's thread and in the program's order, each stage's lines and its failure,
// which it throws. The target is written only once every stage has
// succeeded.

namespace velmora {

class FileChain {
 public:
  // Reads the file's header (a file that cannot be loaded throws its Failure) and builds the
  // chain. bassState is the bass boost's filter state, which carries on from file to file.
  FileChain(const std::string& inputName, const Settings& settings, double& bassState);
  FileChain(const FileChain&) = delete;
  FileChain& operator=(const FileChain&) = delete;
  virtual ~FileChain() = default;

  // Runs every stage to the end of the stream, then prints each one's lines and concludes it.
  void run(std::ostream& out);

 private:
  std::unique_ptr<ProgressLine> progress;  // where standard error is a terminal
  std::vector<std::unique_ptr<Stage>> stages;
};

}  // namespace velmora
