#include "cli/NumberText.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace velmora {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::size_t skipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) {
    ++i;
  }
  return i;
}

std::size_t skipSign(std::string_view text, std::size_t i) {
  return i < text.size() && (text[i] == '+' || text[i] == '-') ? i + 1 : i;
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && isDigit(text[i])) {
    ++i;
  }
  return i;
}

}  // namespace

std::optional<double> leadingDouble(std::string_view text) {
  const std::size_t start = skipBlanks(text);
  std::size_t end = skipSign(text, start);
  const std::size_t intStart = end;
  end = skipDigits(text, end);
  std::size_t digits = end - intStart;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fracEnd = skipDigits(text, end + 1);
    digits += fracEnd - end - 1;
    end = fracEnd;
  }
  if (digits == 0) {
    return std::nullopt;
  }
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    const std::size_t expDigits = skipSign(text, end + 1);
    const std::size_t expEnd = skipDigits(text, expDigits);
    if (expEnd > expDigits) {
      end = expEnd;
    }
  }
  const std::string number(text.substr(start, end - start));
  const double value = std::strtod(number.c_str(), nullptr);
  if (std::isinf(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> leadingInt(std::string_view text) {
  const std::size_t start = skipBlanks(text);
  const std::size_t digitsStart = skipSign(text, start);
  const std::size_t end = skipDigits(text, digitsStart);
  if (end == digitsStart) {
    return std::nullopt;
  }
  const bool negative = text[start] == '-';
  long long magnitude = 0;
  for (std::size_t i = digitsStart; i < end; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483648LL) {
      return std::nullopt;
    }
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > 2147483647LL) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

}  // namespace velmora
