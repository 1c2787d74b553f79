#include "service/AnswerDisplay.h"

#include <cstdarg>
#include <cstdio>

namespace {

struct ErrorLine {
  uint8_t opcode;
  const char* line;
};

constexpr ErrorLine COMMAND_ERRORS[] = {
    {0x20, "tm init command error"},
    {0x21, "test mode set command error"},
    {0x23, "RF enable command error"},
    {0x24, "stats_read command error"},
    {0x25, "stats_config_write command error"},
    {0x26, "stats_config_read command error"},
    {0x30, "rf_param_write command error"},
    {0x31, "rf_param_read command error"},
    {0x32, "rf_table_write command error"},
    {0x33, "rf_table_read command error"},
    {0x34, "rx_param_write command error"},
    {0x35, "rx_param_read command error"},
    {0x36, "txpw command error"},
    {0x37, "TXPR command error"},
    {0x38, "tx_templete_write command error"},
    {0x39, "tx_templete_read command error"},
    {0x50, "special_param_write command error"},
    {0x51, "special_param_read command error"},
    {0x54, "special enable command error"},
};

// Answers that need no line: the write commands and the memory words.
constexpr uint8_t SILENT_OPCODES[] = {0x20, 0x22, 0x23, 0x30, 0x32, 0x34, 0x36, 0x38, 0x50,
                                      0x52, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x25, 0x26};

constexpr size_t DATA_START = 5;
constexpr size_t TRAILER = 2;  // check byte and closing marker

class Answer {
 public:
  Answer(const uint8_t* frame, size_t length) : f_(frame), n_(length) {}

  uint8_t Opcode() const { return n_ > 2 ? f_[2] : 0; }
  uint8_t Sub() const { return n_ > 4 ? f_[4] : 0; }  // checked by the caller where it matters
  size_t DataCount() const { return n_ >= DATA_START + TRAILER ? n_ - DATA_START - TRAILER : 0; }
  // True when every data byte up to `last` was sent (the trailer is not data).
  bool Has(size_t last) const { return last + TRAILER < n_; }
  uint8_t B(size_t at) const { return f_[at]; }
  int S8(size_t at) const { return static_cast<int8_t>(f_[at]); }
  unsigned U16(size_t at) const { return f_[at] | (f_[at + 1] << 8); }
  int S16(size_t at) const { return static_cast<int16_t>(U16(at)); }
  const uint8_t* At(size_t at) const { return f_ + at; }

 private:
  const uint8_t* f_;
  size_t n_;
};

std::string RampBlock(const Answer& a, size_t first) {
  std::string text;
  for (size_t i = 0; i < 16; ++i) {
    if (i == 8) text += "\r\n";
    text += FormatLine("%8d", a.S8(first + i));
  }
  return text;
}

using Lines = std::vector<std::string>;

// Highest byte index the line of an answer reads: 4 (the sub-code) at least for the words
// whose line depends on it, 0 for the others.
size_t LastByteRead(const Answer& a) {
  const uint8_t sub = a.Sub();
  switch (a.Opcode()) {
    case 0x37:
      return (sub == 1 || sub == 4) ? 6 : 4;
    case 0x31:
      return (sub == 1 || sub == 2 || sub == 9 || sub == 10) ? 6 : 4;
    case 0x33:
      return (sub == 31 || sub == 47) ? 14 : 4;
    case 0x24:
      if (sub != 1) return 4;
      if (!a.Has(6)) return 6;
      return a.B(6) == 1 ? 8 : a.B(6) == 2 ? 9 : a.B(6) == 3 ? 10 : 6;
    case 0x51:
      return 6;
    case 0x54:
      return 4;
    case 0x39:
      return 36;
    case 0x35:
      return (sub == 1 || sub == 2 || sub == 8 || sub == 10) ? 6 : 4;
    case 0x53:
      if (sub == 10) return 13;
      if (sub == 11 || sub == 20 || sub == 61) return 7;
      return 4;
    default:
      return 0;
  }
}

// The lines of an answer whose bytes are all there (the caller checked LastByteRead).
Lines DecodeComplete(const Answer& a) {
  const uint8_t sub = a.Sub();
  switch (a.Opcode()) {
    case 0x01:
      return {"test code success"};
    case 0x21:
      return {"testmode set"};
    case 0x37:
      if (sub == 1) return {FormatLine("Tx level is %d", a.U16(5))};
      if (sub == 4) return {FormatLine("APC DAC value is %d", a.U16(5))};
      return {};
    case 0x31:
      if (sub == 1) return {FormatLine("BCH Channel is %d", a.U16(5))};
      if (sub == 2) return {FormatLine("TCH Channel is %d", a.U16(5))};
      if (sub == 9) return {FormatLine("AFC DAC : %13.3f", a.S16(5) / 8.0)};
      if (sub == 10) return {FormatLine("INIT_AFC : %13.3f", a.S16(5) / 8.0)};
      return {};
    case 0x33:
      if (sub != 31 && sub != 47) return {};
      return {
          "G_magic   Ina_att   cal_freq1    Ina_switch_thr_low     Ina_switch_thr_high",
          FormatLine("   %d           %d           %d                    %d                     "
                     "     %d",
                     a.U16(5), a.U16(7), a.U16(9), a.U16(11), a.U16(13))};
    case 0x24: {
      if (sub != 1) return {};
      // Integer quotients of non-negative numbers: already truncated toward zero.
      const int rx = (a.B(7) * 256 + a.B(8)) / 2;
      switch (a.B(6)) {
        case 1:
          return {FormatLine("RX level is %d", rx)};
        case 2:
          return {FormatLine("PM value is %10.2f", (a.B(9) * 256 + a.B(8)) / 64.0)};
        case 3:
          return {FormatLine("RX level is %d", rx),
                  FormatLine("PM value is %10.2f", (a.B(10) * 256 + a.B(9)) / 64.0)};
        default:
          return {};
      }
    }
    case 0x51:
      if (sub == 11) return {FormatLine("Reading Rx AGC value is %d", a.U16(5))};
      if (sub == 21) return {FormatLine(" Battery ADC value is %d", a.U16(5))};
      return {FormatLine("Unknown value : %d", a.U16(5))};
    case 0x54:
      if (sub == 1) return {"Saved to EEPROM"};
      if (sub == 5) return {"Target Resetted"};
      return {};
    case 0x39:
      return {FormatLine("Up Ramp Templete #%d", sub), RampBlock(a, 5),
              FormatLine("Down Ramp Templete #%d", sub), RampBlock(a, 21)};
    case 0x35:
      if (sub == 1) return {FormatLine("AGC Gain = %d", a.U16(5))};
      if (sub == 2) return {FormatLine("rx timeslot = %d", a.U16(5))};
      if (sub == 8) return {FormatLine("AGC algorithm Enable = %d", a.U16(5))};
      if (sub == 10) return {FormatLine("rx_frontdelay = %d", a.U16(5))};
      return {};
    case 0x53: {
      std::string text;
      switch (sub) {
        case 10:
          return {ByteText(a.At(5), 9)};
        case 11:
        case 20:
          return {ByteText(a.At(5), 3)};
        case 55:
          for (size_t i = 0; i < a.DataCount(); ++i) text += FormatLine("%d", a.S8(DATA_START + i));
          return {text};
        case 60:
          for (size_t i = 0; i < a.DataCount(); ++i) {
            const uint8_t b = a.B(DATA_START + i);
            text += FormatLine("%d%d", b & 0x0F, b >> 4);
          }
          return {text};
        case 61:
          return {FormatLine("%d", a.S8(5) * 65536 + a.S8(6) * 256 + a.S8(7))};
        default:
          return {};
      }
    }
    default:
      for (uint8_t silent : SILENT_OPCODES) {
        if (a.Opcode() == silent) return {};
      }
      return {"command error"};
  }
}

}  // namespace

std::string FormatLine(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return {};
  return std::string(buffer, static_cast<size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}

std::string ByteText(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && bytes[i] != 0; ++i) {
    const uint8_t b = bytes[i];
    if (b < 0x80) {
      text += static_cast<char>(b);
    } else {
      text += static_cast<char>(0xC0 | (b >> 6));
      text += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return text;
}

const char* CommandErrorLine(uint8_t opcode) {
  for (const ErrorLine& e : COMMAND_ERRORS) {
    if (e.opcode == opcode) return e.line;
  }
  return nullptr;
}

std::vector<std::string> ManualAnswerLines(const uint8_t* frame, size_t length) {
  const Answer a(frame, length);
  const size_t last = LastByteRead(a);
  if (last != 0 && !a.Has(last)) return {FormatLine(SHORT_ANSWER_FORMAT, static_cast<int>(length))};
  return DecodeComplete(a);
}
