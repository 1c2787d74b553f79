#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

// The RF configuration dialog without its window: the boxes (id, group, label, items, default)
// and the conversion of their texts into the 16 values that ApplyRfConfig takes.

enum class RfBoxKind { Channel, Loss, TestSetType, SupplyType };

struct RfConfigBox {
  int controlId;
  const char* group;
  const char* label;
  RfBoxKind kind;
  int valueIndex;  // position in the handed-over values; -1: shown only (EGSM TCH)
  std::vector<std::string> items;
  std::string defaultItem;
};

constexpr int RF_CONFIG_VALUE_COUNT = 16;
constexpr int RF_CONFIG_ARRAY_SIZE = 21;  // the dialog's array; the first 16 are handed over
inline constexpr char RF_CONFIG_CAPTION[] = "RF Parameter Configuration";
inline constexpr char RF_LOSS_NOTE[] = "ONLY E5515";

// In the order the values are handed over (the middle loss before the left one), then the EGSM
// box that is shown but not handed over.
const std::vector<RfConfigBox>& RfConfigBoxes();

// The dialog's array of 21 doubles, zeroed when the dialog is created.
class RfConfigForm {
 public:
  // Texts of the boxes by control id; a box missing from texts reads as empty text.
  // A type text that names no instrument keeps the array's earlier value.
  std::array<double, RF_CONFIG_VALUE_COUNT> Convert(const std::map<int, std::string>& texts);
  const std::array<double, RF_CONFIG_ARRAY_SIZE>& Array() const { return values_; }

 private:
  std::array<double, RF_CONFIG_ARRAY_SIZE> values_{};
};

// Conversions of one box's text: "NOT" is 0; otherwise the leading decimal integer or real
// number, 0 for text that is no number (integers saturate at the 32-bit range).
double RfChannelValue(const std::string& text);
double RfLossValue(const std::string& text);
// -1 when the text names no test set or supply.
int RfTestSetType(const std::string& text);
int RfSupplyType(const std::string& text);
