#include "instruments/drivers/ScpiText.h"

#include <cstdio>

ScpiArg::ScpiArg(int value) : text_(std::to_string(value)) {}

ScpiArg::ScpiArg(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.12g", value);
  text_ = buffer;
}

std::string ScpiFormat(std::string_view pattern, std::initializer_list<ScpiArg> args) {
  std::string out;
  out.reserve(pattern.size() + 16);
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 1 < pattern.size() && pattern[i + 1] == '}') {
      if (next != args.end()) out += (next++)->text();
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}
