#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The ramp templates of the transmitter: 16 steps up and 16 steps down, addressed 0-30, and the
// rules of the ramp editor around them.

constexpr int RAMP_STEPS = 16;
constexpr int RAMP_FIELDS = 2 * RAMP_STEPS;  // 0-15 up, 16-31 down
constexpr int RAMP_INDEX_MAX = 30;
constexpr int RAMP_SPIN_MIN = 0;
constexpr int RAMP_SPIN_MAX = 31;
constexpr int RAMP_CHART_POINTS = 32;
constexpr double RAMP_CHART_UPPER = 10.0;
constexpr double RAMP_CHART_LOWER = 0.0;
// "ttw " + two-digit index + 32 two-digit values and 31 commas.
constexpr size_t TEMPLATE_LINE_MAX = 102;

struct RampTemplate {
  std::array<int32_t, RAMP_STEPS> up{};
  std::array<int32_t, RAMP_STEPS> down{};

  int32_t& Field(int field) { return field < RAMP_STEPS ? up[field] : down[field - RAMP_STEPS]; }
  bool operator==(const RampTemplate&) const = default;
};

// The one table every ramp editor edits.
RampTemplate& ProcessRampTable();

// A sub-band of the "BAND" choice and the commands of its APC DAC value.
struct RampBand {
  const char* text;
  const char* dacWrite;  // followed by the value
  const char* dacRead;
};
extern const std::array<RampBand, 7> RAMP_BANDS;

// "TX LEVEL" texts: "5".."19" then "100".."115"; "INDEX" texts "0".."30".
std::vector<std::string> RampLevelTexts();
std::vector<std::string> RampIndexTexts();
// Level 5-19 gives index level - 5, 100-115 gives level - 85; -1 for any other text.
int RampIndexForLevel(std::string_view levelText);

int32_t RampTotal(const std::array<int32_t, RAMP_STEPS>& row);
// The ramp's shape in steps of 1/31: up values 0-14 raise it, down values 0-14 lower it, and
// the final level is plotted twice more.
std::array<double, RAMP_CHART_POINTS> RampChartPoints(const RampTemplate& t);

// "ttw <index> u0,...,u15,d0,...,d15".
std::string TemplateWriteLine(std::string_view indexText, const RampTemplate& t);

// The 32 values of a template read answer (unescaped frame, data bytes 5-36, signed); false
// when the frame is too short to hold them.
bool TemplateFromAnswer(const uint8_t* frame, size_t length, RampTemplate& out);

// "u0,...,u15/d0,...,d15" (tesmira-cli ramp --write), each value within the spin range 0-31,
// so the line stays within TEMPLATE_LINE_MAX: false with a reason for anything else.
bool ParseTemplateText(std::string_view text, RampTemplate& out, std::string& error);
