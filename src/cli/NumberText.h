#pragma once

#include <optional>
#include <string_view>

// Reads the number at the start of an option's value text: leading white space is skipped, the
// longest beginning that forms a number is taken and the rest ignored. No number, or one too
// large for its type, gives nothing, and the option keeps its value.

namespace velmora {

// Sign, digits, a decimal point and an exponent; an incomplete exponent ("12e", "1.5e+") is not
// part of the number.
std::optional<double> leadingDouble(std::string_view text);

// Sign and decimal digits, within the range of a signed 32-bit integer.
std::optional<int> leadingInt(std::string_view text);

}  // namespace velmora
