#include "service/PanelFields.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace {

std::string_view SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return text.substr(i);
}

}  // namespace

int ReadIntField(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int ReadTruncatedField(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too small to show (1e-400) reads 0; too large saturates with its sign.
    const std::string_view number = text.substr(0, static_cast<size_t>(end - text.data()));
    const size_t exponent = number.find_first_of("eE");
    if (exponent != std::string_view::npos &&
        number.find('-', exponent) != std::string_view::npos) {
      return 0;
    }
    return number[0] == '-' ? INT_MIN : INT_MAX;
  }
  if (error != std::errc() || std::isnan(value)) return 0;
  value = std::trunc(value);
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}
