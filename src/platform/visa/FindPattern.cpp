#include "platform/visa/FindPattern.h"

#include <cstring>

namespace visa::detail {

std::optional<std::regex> CompileFindPattern(const std::string& expression) {
  if (expression.empty() || expression.size() > 255) return std::nullopt;
  std::string pattern;
  bool inList = false;
  for (size_t i = 0; i < expression.size(); ++i) {
    const char c = expression[i];
    if (c == '\\') {  // the next character stands for itself
      if (++i >= expression.size()) return std::nullopt;
      pattern += '\\';
      pattern += expression[i];
      continue;
    }
    if (inList) {
      if (c == ']') inList = false;
      pattern += c;
      continue;
    }
    switch (c) {
      case '?':
        pattern += '.';
        break;
      case '[':
        inList = true;
        pattern += c;
        break;
      case '*':
      case '+':
      case '(':
      case ')':
      case '|':
        pattern += c;
        break;
      case '{':
      case '}':
        return std::nullopt;
      default:
        if (std::strchr(".^$", c) != nullptr) pattern += '\\';
        pattern += c;
    }
  }
  if (inList) return std::nullopt;
  try {
    return std::regex(pattern, std::regex::ECMAScript | std::regex::icase);
  } catch (const std::regex_error&) {
    return std::nullopt;
  }
}

}  // namespace visa::detail
