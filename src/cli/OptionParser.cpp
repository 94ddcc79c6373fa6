#include "cli/OptionParser.h"

#include <iostream>
#include <limits>
#include <optional>
#include <string_view>

#include "cli/NumberText.h"
#include "system/ProcessExit.h"

namespace velmora {

namespace {

// The letters that are echoed while debug is on, with their echo texts.
std::optional<std::string_view> echoText(char letter) {
  switch (letter) {
    case 't': return "option t: ";
    case 's': return "option s: ";
    case 'l': return "option l: ";
    case 'w': return "option w: ";
    case 'a': return "option a: ";
    case 'r': return "option r: ";
    case 'o': return "option o: ";
    case 'C': return "option C: ";
    case 'c': return "option c: ";
    case 'T': return "option T: ";
    case 'b': return "Option b: ";
    case 'S': return "option S: ";
    case 'h': return "option h: ";
    default: return std::nullopt;
  }
}

// Sets field from the number at the start of value (unchanged when there is none), then reports
// the field and waits for one character of standard input.
void setAndReport(std::string_view label, double& field, const std::string& value,
                  double lowerBound = -std::numeric_limits<double>::infinity()) {
  if (const std::optional<double> number = leadingDouble(value)) {
    field = *number < lowerBound ? lowerBound : *number;
  }
  std::cout << label << field << std::endl;
  std::cin.get();
}

[[noreturn]] void failWithUsage(UsagePrinter printUsage, const std::string& programName) {
  printUsage(programName);
  throw Failure{"", exitUsage};  // the usage text is the failure's message, printed already
}

}  // namespace

void OptionParser::parse(UsagePrinter printUsage, char letter, std::string programName,
                         std::string value, Settings& settings) {
  if (debug) {
    if (const std::optional<std::string_view> echo = echoText(letter)) {
      std::cout << *echo << value << std::endl;
    }
  }
  switch (letter) {
    case 't': setAndReport("threshold=", settings.threshold, value); break;
    case 's': setAndReport("slope=", settings.slope, value); break;
    case 'l': setAndReport("tla=", settings.tla, value, 1.0); break;
    case 'w': setAndReport("twnd=", settings.twnd, value); break;
    case 'a': setAndReport("tatt=", settings.tatt, value); break;
    case 'r': setAndReport("trel=", settings.trel, value); break;
    case 'o': settings.outputName = value; break;
    case 'C':
      settings.compress = true;
      if (const std::optional<int> preset = leadingInt(value)) {
        applyPreset(*preset, settings);
      }
      break;
    case 'c': settings.compress = true; break;
    case 'T': settings.truncate = true; break;
    case 'b': settings.boostBass = true; break;
    case 'S': break;
    case 'd': debug = true; break;
    default: failWithUsage(printUsage, programName);
  }
}

void OptionParser::applyPreset(int preset, Settings& settings) {
  switch (preset) {
    case 1: settings.slope = 6.0; break;
    case 2: settings.slope = 10.0; break;
    case 3: settings.slope = 20.0; break;
    case 4:
      settings.twnd = 1.0;
      settings.tatt = 1.5;
      break;
    default: break;
  }
}

}  // namespace velmora
