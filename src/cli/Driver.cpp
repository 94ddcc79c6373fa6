#include "cli/Driver.h"

#include <iostream>

#include "cli/OptionParser.h"
#include "dsp/FileChain.h"
#include "system/FileNames.h"
#include "system/Process.h"
#include "system/SystemFiles.h"
#include "system/TemporaryFiles.h"

namespace velmora {

namespace {

std::string withoutQuotes(const std::string& argument) {
  if (!argument.empty() && argument.front() == '"' && argument.back() == '"') {
    return argument.size() == 1 ? std::string() : argument.substr(1, argument.size() - 2);
  }
  return argument;
}

bool isFileName(const std::string& argument) {
  return argument.empty() || argument.front() != '-' || argument == "-";
}

// Whether a file named on the command line comes on standard input: then the waits after the
// numeric options must not take its bytes.
bool audioOnStandardInput(const std::vector<std::string>& arguments) {
  for (std::size_t index = 1; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (isFileName(argument)) {
      if (process::namesStandardInput(withoutQuotes(argument))) {
        return true;
      }
    } else if (argument.size() == 2 && OptionParser::takesValue(argument[1])) {
      ++index;
    }
  }
  return false;
}

// The options and files in order, with the settings as the options leave them.
void walkOptionsAndFiles(const std::vector<std::string>& arguments, Settings& settings) {
  OptionParser parser(!audioOnStandardInput(arguments));
  TemporaryFiles::watchOutput(pathOf(settings.outputFile()));
  double bassState = 0.0;  // the bass boost's filter state carries on from file to file
  for (std::size_t index = 1; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (isFileName(argument)) {
      processFile(withoutQuotes(argument), settings, bassState);
      process::checkConsole();
      continue;
    }
    const char letter = argument.size() > 1 ? argument[1] : '\0';
    std::string value = argument.size() > 2 ? argument.substr(2) : std::string();
    if (letter != '\0' && value.empty() && OptionParser::takesValue(letter)) {
      if (index + 1 >= arguments.size()) {
        throw Failure{"", exitUsage, true};  // no argument left to be its value
      }
      value = arguments[++index];
    }
    parser.parse(letter, value, settings);
    TemporaryFiles::watchOutput(pathOf(settings.outputFile()));  // a reader may wait on it already
    process::checkConsole();
  }
  std::cout.flush();
  process::checkConsole();
}

// Walks the arguments; every failure is thrown up to runCommandLine. A reader that waits on a named
// pipe for the output then sees its end, with no byte, however early the run failed.
void walkArguments(const std::vector<std::string>& arguments) {
  if (arguments.size() <= 1) {
    throw Failure{"", exitUsage, true};
  }
  Settings settings;
  try {
    walkOptionsAndFiles(arguments, settings);
  } catch (...) {
    files::releaseReaders(pathOf(settings.outputFile()));
    throw;
  }
}

}  // namespace

void printVersion() { std::cout << "Velmora " VELMORA_VERSION << std::endl; }

void printBanner() { std::cout << "Dynamic range compressor and bass boost for PCM WAV files" << std::endl; }

void printUsage(const std::string& programName) {
  std::cout << "Run program without arguments to view help\n";
  std::cout << "Usage: " << programName << " [-c|C] [-t threshold] [-s slope] [-l lookahead]"
            << " [-w window time] [-a attack] [-r release] [-T] [-b] [-o output.wav] filename.wav\n";
  std::cout << " -c to compress, -T to truncate values during compression" << std::endl;
  std::cout << " -Cn to compress using default no n" << std::endl;
  std::cout << " -b boosts bass" << std::endl;
}

void processFile(const std::string& inputName, const Settings& settings, double& bassState) {
  FileChain chain(inputName, settings, bassState);
  chain.run(std::cout);
}

int runCommandLine(const std::vector<std::string>& arguments) {
  const std::string programName = arguments.empty() ? "" : arguments.front();
  int status = exitSuccess;
  try {
    printVersion();
    printBanner();
    walkArguments(arguments);
  } catch (const Failure& failure) {
    if (!failure.message.empty()) {
      std::cout << failure.message << std::endl;
    }
    if (failure.usage) {
      printUsage(programName);
    }
    status = failure.status;
  } catch (const Abandonment& abandonment) {
    process::endBy(abandonment);
  } catch (const std::exception& e) {
    std::cout << "Exception " << e.what() << std::endl;
    status = exitFileFailure;
  }
  // A failure's lines that reached no reader end the process as any other lost line does.
  std::cout.flush();
  if (process::consoleClosed()) {
    process::endBy({Abandonment::Cause::consoleClosed});
  }
  return status;
}

}  // namespace velmora
