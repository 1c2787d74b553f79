#include "instruments/RfConfigForm.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "instruments/InstrumentState.h"

namespace {

std::vector<std::string> LossItems() {
  std::vector<std::string> items{"0"};
  for (int tenths = 6; tenths <= 20; ++tenths) {
    char text[8];
    std::snprintf(text, sizeof text, "-%d.%d", tenths / 10, tenths % 10);
    items.emplace_back(text);
  }
  return items;
}

std::vector<std::string> BchItems() {
  std::vector<std::string> items;
  for (int ch = 10; ch <= 200; ch += 10) items.push_back(std::to_string(ch));
  return items;
}

// Where the number starts, as the C conversions read it: blanks skipped, one '+' allowed
// (from_chars takes '-' itself).
const char* NumberStart(const std::string& text) {
  const char* p = text.c_str();
  while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (*p == '+' && p[1] != '-') ++p;
  return p;
}

}  // namespace

const std::vector<RfConfigBox>& RfConfigBoxes() {
  static const std::vector<RfConfigBox> boxes = [] {
    const auto loss = LossItems();
    using K = RfBoxKind;
    return std::vector<RfConfigBox>{
        {1042, "APC Calibration", "GSM BCH", K::Channel, 0, BchItems(), "80"},
        {1043,
         "PGSM1",
         "TCH",
         K::Channel,
         1,
         {"NOT", "1", "20", "27", "30", "40", "45", "55"},
         "1"},
        {1384,
         "PGSM2",
         "TCH",
         K::Channel,
         2,
         {"NOT", "56", "60", "62", "70", "78", "80", "85", "100"},
         "62"},
        {1389, "PGSM3", "TCH", K::Channel, 3, {"NOT", "101", "110", "112", "124"}, "124"},
        {1051, "GSM LOSS", "middle", K::Loss, 4, loss, "-1.2"},
        {1054, "GSM LOSS", "left", K::Loss, 5, loss, "-1.2"},
        {1055, "GSM LOSS", "right", K::Loss, 6, loss, "-1.2"},
        {1411,
         "APC Calibration",
         "DCS BCH",
         K::Channel,
         7,
         {"512", "600", "660", "698", "700", "790", "835", "885"},
         "512"},
        {1049, "DCS1", "TCH", K::Channel, 8, {"NOT", "512", "570", "600", "631"}, "512"},
        {1409,
         "DCS2",
         "TCH",
         K::Channel,
         9,
         {"NOT", "632", "660", "692", "698", "700", "751"},
         "698"},
        {1410,
         "DCS3",
         "TCH",
         K::Channel,
         10,
         {"NOT", "752", "790", "800", "818", "835", "885"},
         "885"},
        {1045, "DCS LOSS", "middle", K::Loss, 11, loss, "-1.7"},
        {1046, "DCS LOSS", "left", K::Loss, 12, loss, "-1.7"},
        {1047, "DCS LOSS", "right", K::Loss, 13, loss, "-1.7"},
        {1052, "Test set", "TYPE", K::TestSetType, 14, {"A8960 E5515B", "W4400M"}, "A8960 E5515B"},
        {1053, "Power Supply", "TYPE", K::SupplyType, 15, {"3631A", "3632A"}, "3631A"},
        {1365,
         "EGSM",
         "TCH",
         K::Channel,
         -1,
         {"975", "980", "985", "990", "995", "1000", "1005", "1010", "1023"},
         "1000"},
    };
  }();
  return boxes;
}

double RfChannelValue(const std::string& text) {
  if (text == "NOT") return 0.0;
  const char* p = NumberStart(text);
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(p, p + std::char_traits<char>::length(p), value);
  if (end == p) return 0.0;
  if (ec == std::errc::result_out_of_range) {
    return *p == '-' ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  }
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<double>(value);
}

double RfLossValue(const std::string& text) {
  if (text == "NOT") return 0.0;
  const char* p = NumberStart(text);
  double value = 0.0;
  // Fixed and exponent forms, in the C locale whatever the operator's.
  const auto [end, ec] = std::from_chars(p, p + std::char_traits<char>::length(p), value);
  if (end == p || ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

int RfTestSetType(const std::string& text) {
  if (text == "NOT USED") return TESTSET_NONE;
  if (text == "A8960 E5515B") return TESTSET_8960;
  if (text == "W4400M") return TESTSET_4400;
  return -1;
}

int RfSupplyType(const std::string& text) {
  if (text == "NOT USED") return SUPPLY_NONE;
  if (text == "66311B") return SUPPLY_66311B;
  if (text == "3631A") return SUPPLY_E3631A;
  if (text == "3632A" || text == "3633A") return SUPPLY_E3632A;
  return -1;
}

std::array<double, RF_CONFIG_VALUE_COUNT> RfConfigForm::Convert(
    const std::map<int, std::string>& texts) {
  for (const RfConfigBox& box : RfConfigBoxes()) {
    if (box.valueIndex < 0) continue;
    const auto it = texts.find(box.controlId);
    const std::string text = it == texts.end() ? std::string() : it->second;
    double& slot = values_[static_cast<size_t>(box.valueIndex)];
    switch (box.kind) {
      case RfBoxKind::Channel:
        slot = RfChannelValue(text);
        break;
      case RfBoxKind::Loss:
        slot = RfLossValue(text);
        break;
      case RfBoxKind::TestSetType:
        if (const int type = RfTestSetType(text); type >= 0) slot = type;
        break;
      case RfBoxKind::SupplyType:
        if (const int type = RfSupplyType(text); type >= 0) slot = type;
        break;
    }
  }
  std::array<double, RF_CONFIG_VALUE_COUNT> handed{};
  for (int i = 0; i < RF_CONFIG_VALUE_COUNT; ++i) handed[i] = values_[i];
  return handed;
}
