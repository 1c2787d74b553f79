#include "service/ResultDisplay.h"

#include "service/AnswerDisplay.h"

namespace {

constexpr size_t TRAILER = 2;  // check byte and closing marker

std::string RampValues(const uint8_t* frame, size_t first) {
  std::string text;
  for (size_t i = 0; i < 16; ++i) text += FormatLine("%5d", static_cast<int8_t>(frame[first + i]));
  return text;
}

// Highest byte index the lines of the opcode read; 0 for none.
size_t LastByteRead(uint8_t opcode) {
  switch (opcode) {
    case 0x31:
    case 0x37:
    case 0x51:
      return 6;
    case 0x36:
    case 0x50:
    case 0x54:
      return 4;
    case 0x39:
      return 36;
    default:
      return 0;
  }
}

}  // namespace

std::vector<std::string> ResultDisplayLines(const uint8_t* f, size_t n) {
  std::vector<std::string> lines = {RESULT_RULE_LINE};
  if (n < 4) {
    lines.push_back(FormatLine(SHORT_ANSWER_FORMAT, static_cast<int>(n)));
    return lines;
  }
  if (f[3] != 0) {
    lines.push_back("command error");
    return lines;
  }
  const uint8_t opcode = f[2];
  const size_t last = LastByteRead(opcode);
  if (last != 0 && last + TRAILER >= n) {
    lines.push_back(FormatLine(SHORT_ANSWER_FORMAT, static_cast<int>(n)));
    return lines;
  }
  const int index = static_cast<int8_t>(last != 0 ? f[4] : 0);
  switch (opcode) {
    case 0x20:
      lines.push_back("ti command success");
      break;
    case 0x21:
      lines.push_back("tms command success");
      break;
    case 0x23:
      lines.push_back("rfe command success");
      break;
    case 0x30:
      lines.push_back("rfpw command success");
      break;
    case 0x31:
    case 0x37:
    case 0x51:
      lines.push_back(FormatLine("index = %d , value = %d", index, f[5] | (f[6] << 8)));
      break;
    case 0x36:
    case 0x50:
    case 0x54:
      lines.push_back(FormatLine("index = %d ", index));
      break;
    case 0x39:
      lines.push_back(FormatLine("Up Ramp Templete #%d", f[4]));
      lines.push_back(RampValues(f, 5));
      lines.push_back(FormatLine("Down Ramp Templete #%d", f[4]));
      lines.push_back(RampValues(f, 21));
      break;
    default:
      break;
  }
  return lines;
}
