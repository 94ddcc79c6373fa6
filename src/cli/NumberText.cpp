#include "cli/NumberText.h"

#include <charconv>
#include <cstdint>
#include <system_error>
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

// For a number beyond the range of a double: whether it is too small (rather than too large),
// from where its first significant digit stands and its exponent.
bool underflows(std::string_view mantissa, std::string_view exponent) {
  std::int64_t power = 0;
  const bool negative = !exponent.empty() && exponent.front() == '-';
  const std::size_t from = !exponent.empty() && (exponent.front() == '-' || exponent.front() == '+') ? 1 : 0;
  if (std::from_chars(exponent.data() + from, exponent.data() + exponent.size(), power).ec != std::errc()) {
    power = exponent.size() > from ? std::int64_t{1} << 40 : 0;  // more digits than it holds
  }
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_not_of("+-0.");
  const auto position = first < point ? static_cast<std::int64_t>(point - first) - 1
                                      : -static_cast<std::int64_t>(first - point);
  return position + (negative ? -power : power) < 0;
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
  const std::string_view mantissa = text.substr(start, end - start);
  std::string_view exponent;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    const std::size_t expDigits = skipSign(text, end + 1);
    const std::size_t expEnd = skipDigits(text, expDigits);
    if (expEnd > expDigits) {
      exponent = text.substr(end + 1, expEnd - end - 1);
      end = expEnd;
    }
  }
  // from_chars reads the C locale's format whatever locale the process is in; it takes no "+".
  const std::string_view number = text.substr(start, end - start);
  const std::size_t from = number.front() == '+' ? 1 : 0;
  double value = 0.0;
  const std::errc error = std::from_chars(number.data() + from, number.data() + number.size(), value).ec;
  if (error == std::errc::result_out_of_range && underflows(mantissa, exponent)) {
    return number.front() == '-' ? -0.0 : 0.0;  // as strtod: a zero of the number's sign
  }
  if (error != std::errc()) {
    return std::nullopt;  // beyond the largest double, or no number at all
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
