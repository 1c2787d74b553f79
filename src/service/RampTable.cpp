#include "service/RampTable.h"

#include <charconv>

RampTemplate& ProcessRampTable() {
  static RampTemplate table;
  return table;
}

const std::array<RampBand, 7> RAMP_BANDS = {{
    {"1~55", "txpw 4 ", "txpr 4"},
    {"56~100", "spw 21 ", "spr 21"},
    {"101~124", "spw 22 ", "spr 22"},
    {"512~631", "txpw 4 ", "txpr 4"},
    {"632~751", "spw 31 ", "spr 31"},
    {"752~885", "spw 32 ", "spr 32"},
    {"975~1023", "spw 23 ", "spr 23"},
}};

std::vector<std::string> RampLevelTexts() {
  std::vector<std::string> texts;
  for (int level = 5; level <= 19; ++level) texts.push_back(std::to_string(level));
  for (int level = 100; level <= 115; ++level) texts.push_back(std::to_string(level));
  return texts;
}

std::vector<std::string> RampIndexTexts() {
  std::vector<std::string> texts;
  for (int index = 0; index <= RAMP_INDEX_MAX; ++index) texts.push_back(std::to_string(index));
  return texts;
}

int RampIndexForLevel(std::string_view levelText) {
  int level = 0;
  const auto [end, ec] =
      std::from_chars(levelText.data(), levelText.data() + levelText.size(), level);
  if (ec != std::errc() || end != levelText.data() + levelText.size()) return -1;
  if (level >= 5 && level <= 19) return level - 5;
  if (level >= 100 && level <= 115) return level - 85;
  return -1;
}

int32_t RampTotal(const std::array<int32_t, RAMP_STEPS>& row) {
  int64_t sum = 0;
  for (int32_t v : row) sum += v;
  return static_cast<int32_t>(sum);
}

std::array<double, RAMP_CHART_POINTS> RampChartPoints(const RampTemplate& t) {
  // The running sum is kept in whole steps and divided for each point, so a ramp that comes
  // back down ends at exactly 0 instead of a rounding remainder below it.
  std::array<double, RAMP_CHART_POINTS> points{};
  int64_t steps = 0;
  size_t n = 0;
  for (int i = 0; i < RAMP_STEPS - 1; ++i)
    points[n++] = static_cast<double>(steps += t.up[i]) / 31.0;
  for (int i = 0; i < RAMP_STEPS - 1; ++i) {
    points[n++] = static_cast<double>(steps -= t.down[i]) / 31.0;
  }
  points[n++] = static_cast<double>(steps) / 31.0;
  points[n] = points[n - 1];
  return points;
}

std::string TemplateWriteLine(std::string_view indexText, const RampTemplate& t) {
  std::string line = "ttw ";
  line += indexText;
  line += ' ';
  for (int i = 0; i < RAMP_FIELDS; ++i) {
    if (i > 0) line += ',';
    line += std::to_string(i < RAMP_STEPS ? t.up[i] : t.down[i - RAMP_STEPS]);
  }
  return line;
}

bool TemplateFromAnswer(const uint8_t* frame, size_t length, RampTemplate& out) {
  constexpr size_t FIRST = 5;
  // Data bytes 5-36, then the check byte and the closing marker.
  if (length < FIRST + RAMP_FIELDS + 2) return false;
  for (int i = 0; i < RAMP_FIELDS; ++i) out.Field(i) = static_cast<int8_t>(frame[FIRST + i]);
  return true;
}

namespace {
bool ParseRow(std::string_view text, std::array<int32_t, RAMP_STEPS>& row, const char* name,
              std::string& error) {
  size_t at = 0;
  for (int i = 0; i < RAMP_STEPS; ++i) {
    const size_t comma = text.find(',', at);
    const std::string_view token =
        text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
    int value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || ec != std::errc() || end != token.data() + token.size() ||
        value < RAMP_SPIN_MIN || value > RAMP_SPIN_MAX) {
      error = std::string(name) + " value " + std::to_string(i) + " is not a number from 0 to 31";
      return false;
    }
    row[i] = value;
    if ((comma == std::string_view::npos) != (i == RAMP_STEPS - 1)) {
      error = std::string(name) + " needs exactly 16 values";
      return false;
    }
    at = comma + 1;
  }
  return true;
}
}  // namespace

bool ParseTemplateText(std::string_view text, RampTemplate& out, std::string& error) {
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos || text.find('/', slash + 1) != std::string_view::npos) {
    error = "give the up and the down values as \"u0,...,u15/d0,...,d15\"";
    return false;
  }
  RampTemplate t;
  if (!ParseRow(text.substr(0, slash), t.up, "up", error)) return false;
  if (!ParseRow(text.substr(slash + 1), t.down, "down", error)) return false;
  out = t;
  return true;
}
