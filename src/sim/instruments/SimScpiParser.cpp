#include "sim/instruments/SimScpiParser.h"

#include <cctype>

namespace sim {
namespace {
std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Splits at sep outside double quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') quoted = !quoted;
    if (s[i] == sep && !quoted) {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(s.substr(start));
  return parts;
}

std::vector<std::string> SplitNodes(std::string_view header) {
  std::vector<std::string> nodes;
  for (std::string_view part : SplitOutsideQuotes(header, ':'))
    if (!part.empty()) nodes.emplace_back(part);
  return nodes;
}
}  // namespace

std::vector<ScpiUnit> SplitScpiMessage(std::string_view message) {
  std::vector<ScpiUnit> units;
  std::vector<std::string> path;  // subsystem of the previous unit
  for (std::string_view raw : SplitOutsideQuotes(message, ';')) {
    std::string_view text = Trim(raw);
    if (text.empty()) continue;
    ScpiUnit unit;
    size_t end = 0;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    std::string_view header = text.substr(0, end);
    unit.args = std::string(Trim(text.substr(end)));
    if (!header.empty() && header.back() == '?') {
      unit.query = true;
      header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
      unit.common = true;
      unit.nodes.emplace_back(header);
      units.push_back(std::move(unit));
      continue;
    }
    const bool rooted = !header.empty() && header.front() == ':';
    std::vector<std::string> nodes = SplitNodes(header);
    if (!rooted) nodes.insert(nodes.begin(), path.begin(), path.end());
    unit.nodes = nodes;
    path.assign(nodes.begin(), nodes.empty() ? nodes.end() : nodes.end() - 1);
    units.push_back(std::move(unit));
  }
  return units;
}

std::vector<std::string> SplitScpiArgs(std::string_view args) {
  std::vector<std::string> out;
  if (Trim(args).empty()) return out;
  for (std::string_view part : SplitOutsideQuotes(args, ',')) out.emplace_back(Trim(part));
  return out;
}

ScpiPattern::ScpiPattern(std::string_view pattern) {
  if (!pattern.empty() && pattern.back() == '?') {
    query_ = true;
    pattern.remove_suffix(1);
  }
  if (!pattern.empty() && pattern.front() == '*') {
    common_ = true;
    nodes_.push_back(Node{Upper(pattern), Upper(pattern)});
    return;
  }
  // Nodes with their optional flag: "[SOURce:]VOLTage[:LEVel]" -> SOURce?, VOLTage, LEVel?
  struct Part {
    std::string name;
    bool optional;
  };
  std::vector<Part> parts;
  size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] == ':') {
      ++i;
      continue;
    }
    if (pattern[i] == '[') {
      size_t end = pattern.find(']', i);
      if (end == std::string_view::npos) end = pattern.size();
      for (std::string_view n : SplitOutsideQuotes(pattern.substr(i + 1, end - i - 1), ':'))
        if (!n.empty()) parts.push_back({std::string(n), true});
      i = end + 1;
      continue;
    }
    size_t end = pattern.find_first_of(":[", i);
    if (end == std::string_view::npos) end = pattern.size();
    parts.push_back({std::string(pattern.substr(i, end - i)), false});
    i = end;
  }
  for (const Part& p : parts) {
    std::string shortForm;
    for (char c : p.name)
      if (std::isupper(static_cast<unsigned char>(c)) ||
          std::isdigit(static_cast<unsigned char>(c)))
        shortForm += c;
    nodes_.push_back({Upper(p.name), shortForm.empty() ? Upper(p.name) : shortForm, p.optional});
  }
}

bool ScpiPattern::Matches(const ScpiUnit& unit) const {
  if (unit.query != query_ || unit.common != common_) return false;
  // reach[k]: the unit's first k nodes are matched by the pattern nodes seen so far.
  const size_t count = unit.nodes.size();
  std::vector<char> reach(count + 1, 0);
  reach[0] = 1;
  for (const Node& node : nodes_) {
    std::vector<char> next(count + 1, 0);
    for (size_t k = 0; k <= count; ++k) {
      if (!reach[k]) continue;
      if (node.optional) next[k] = 1;
      if (k < count) {
        const std::string n = Upper(unit.nodes[k]);
        if (n == node.longForm || n == node.shortForm) next[k + 1] = 1;
      }
    }
    reach.swap(next);
  }
  return reach[count] != 0;
}

}  // namespace sim
