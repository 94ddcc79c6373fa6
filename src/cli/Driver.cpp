#include "cli/Driver.h"

#include <csignal>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <iostream>
#include <string_view>

#include "cli/OptionParser.h"
#include "cli/Settings.h"
#include "dsp/AudioProcessor.h"
#include "system/FileNames.h"
#include "system/ProcessExit.h"
#include "system/SystemFiles.h"
#include "system/TemporaryFiles.h"

namespace velmora {

namespace {

// Letters whose value is the next argument when nothing is attached to them.
constexpr std::string_view lettersWithValue = "tslwaroC";

// The bass boost's fixed parameters; no option changes them.
constexpr double bassSmoothing = 70.0;
constexpr double bassOutputGain = 0.2;
constexpr double bassGain = 12.0;

std::string withoutQuotes(const std::string& argument) {
  if (!argument.empty() && argument.front() == '"' && argument.back() == '"') {
    return argument.size() == 1 ? std::string() : argument.substr(1, argument.size() - 2);
  }
  return argument;
}

}  // namespace

void printVersion() { std::cout << "Velmora " VELMORA_VERSION << std::endl; }

void printBanner() { std::cout << "Dynamic range compressor and bass boost for PCM WAV files" << std::endl; }

void printUsage(std::string programName) {
  std::cout << "Run program without arguments to view help\n";
  std::cout << "Usage: " << programName << " [-c|C] [-t threshold] [-s slope] [-l lookahead]"
            << " [-w window time] [-a attack] [-r release] [-T] [-b] [-o output.wav] filename.wav\n";
  std::cout << " -c to compress, -T to truncate values during compression" << std::endl;
  std::cout << " -Cn to compress using default no n" << std::endl;
  std::cout << " -b boosts bass" << std::endl;
}

void processFile(std::string inputName, std::string outputName, double threshold, double slope,
                 double tla, double twnd, double tatt, double trel, bool truncate, bool compress,
                 bool boostBass, double& bassState) {
  if (outputName.empty()) {
    outputName = "out.wav";
  }
  TemporaryFiles::watchOutput(pathOf(outputName));
  AudioProcessor processor(inputName, bassState);
  if (compress) {
    processor.applyCompressor(threshold, slope, tla, twnd, tatt, trel, truncate);
  }
  if (boostBass) {
    processor.applyBassBoost(bassSmoothing, bassOutputGain, bassGain);
  }
  processor.saveOutput(outputName);
}

// The options and files in order, with the settings as the options leave them.
void walkOptionsAndFiles(int argc, char** argv, const std::string& programName, Settings& settings) {
  OptionParser parser;
  double bassState = 0.0;  // the bass boost's filter state carries on from file to file
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument.empty() || argument.front() != '-') {
      const Settings& s = settings;
      processFile(withoutQuotes(argument), s.outputName, s.threshold, s.slope, s.tla, s.twnd,
                  s.tatt, s.trel, s.truncate, s.compress, s.boostBass, bassState);
      checkConsole();
      continue;
    }
    const char letter = argument.size() > 1 ? argument[1] : '\0';
    std::string value = argument.size() > 2 ? argument.substr(2) : std::string();
    if (letter != '\0' && value.empty() && lettersWithValue.find(letter) != std::string_view::npos) {
      if (index + 1 >= argc) {
        printUsage(programName);
        throw Failure{"", exitUsage};
      }
      value = argv[++index];
    }
    parser.parse(printUsage, letter, programName, value, settings);
    checkConsole();
  }
  std::cout.flush();
  checkConsole();
}

// Walks the arguments; every failure is thrown up to runCommandLine. A reader that waits on a named
// pipe for the output then sees its end, with no byte, however early the run failed.
void walkArguments(int argc, char** argv) {
  const std::string programName = argc > 0 ? argv[0] : "";
  if (argc <= 1) {
    printUsage(programName);
    throw Failure{"", exitUsage};
  }
  Settings settings;
  try {
    walkOptionsAndFiles(argc, argv, programName, settings);
  } catch (...) {
    files::releaseReaders(settings.outputName.empty() ? "out.wav" : settings.outputName);
    throw;
  }
}

void runCommandLine(int argc, char** argv) {
  files::openClosedStandardStreams();
#if defined(__GLIBC__)
  // The stages' blocks and windows, a few hundred kilobytes each, come from the heap and stay
  // there for the next file, instead of being mapped fresh (and their pages cleared) every time.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
  TemporaryFiles::watchInterruptions();
  ignoreBrokenPipes();
#ifdef SIGXFSZ
  // A write past the file-size limit fails like any other write, and the save reports it.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  int status = exitSuccess;
  try {
    printVersion();
    printBanner();
    walkArguments(argc, argv);
  } catch (const Failure& failure) {
    if (!failure.message.empty()) {
      std::cout << failure.message << std::endl;
    }
    status = failure.status;
  } catch (const ConsoleClosed&) {
    endByBrokenPipe();
  } catch (const std::exception& e) {
    std::cout << "Exception " << e.what() << std::endl;
    status = exitFileFailure;
  }
  // A failure's lines that reached no reader end the process as any other lost line does.
  std::cout.flush();
  if (consoleClosed()) {
    endByBrokenPipe();
  }
  endProcess(status);
}

}  // namespace velmora
