#include "cli/OptionParser.h"

#include <iostream>
#include <limits>
#include <optional>

#include "cli/NumberText.h"
#include "system/Failure.h"

namespace velmora {

namespace {

constexpr double noBound = -std::numeric_limits<double>::infinity();

// The letters the program knows. Numeric options name the field they set, its report label and its
// lower bound; the others are carried out by parse.
struct Option {
  char letter;
  const char* echo;  // printed with the value while -d is on; none for -d itself
  bool takesValue;
  double Settings::*field = nullptr;
  const char* label = nullptr;
  double lowerBound = noBound;
};

constexpr Option options[] = {
    {'t', "option t: ", true, &Settings::threshold, "threshold="},
    {'s', "option s: ", true, &Settings::slope, "slope="},
    {'l', "option l: ", true, &Settings::tla, "tla=", 1.0},
    {'w', "option w: ", true, &Settings::twnd, "twnd="},
    {'a', "option a: ", true, &Settings::tatt, "tatt="},
    {'r', "option r: ", true, &Settings::trel, "trel="},
    {'o', "option o: ", true},
    {'C', "option C: ", true},
    {'c', "option c: ", false},
    {'T', "option T: ", false},
    {'b', "Option b: ", false},
    {'S', "option S: ", false},
    {'d', nullptr, false},
    {'h', "option h: ", false},
};

const Option* optionFor(char letter) {
  for (const Option& option : options) {
    if (option.letter == letter) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

bool OptionParser::takesValue(char letter) {
  const Option* option = optionFor(letter);
  return option != nullptr && option->takesValue;
}

// Sets field from the number at the start of value (unchanged when there is none), then reports
// the field and waits for one character of standard input.
void OptionParser::setAndReport(double& field, const char* label, const std::string& value, double lowerBound) const {
  if (const std::optional<double> number = leadingDouble(value)) {
    field = *number < lowerBound ? lowerBound : *number;
  }
  std::cout << label << field << std::endl;
  if (waitForKeys) {
    std::cin.get();
  }
}

void OptionParser::parse(char letter, const std::string& value, Settings& settings) {
  const Option* option = optionFor(letter);
  if (option == nullptr) {
    throw Failure{"", exitUsage, true};
  }
  if (debug && option->echo != nullptr) {
    std::cout << option->echo << value << std::endl;
  }
  if (letter == 'h') {
    throw Failure{"", exitUsage, true};
  }
  if (option->field != nullptr) {
    setAndReport(settings.*(option->field), option->label, value, option->lowerBound);
    return;
  }
  switch (letter) {
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
    case 'd': debug = true; break;
    default: break;  // -S does nothing
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
