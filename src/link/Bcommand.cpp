#include "link/Bcommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

// Tokens of a line: the command word up to the first space, the first argument up to the next
// space, then value tokens, each begun by a single space or comma (so "a,,b" has an empty
// middle token and a trailing separator gives an empty last token).
//
// Number rules (all digit tests on ASCII; any other character adds nothing but still counts as
// a position, so "1.5" in a decimal token reads as 105):
//   ParseDec8  each character adds digit * 10^k (k = characters after it); 'a'-'f'/'A'-'F'
//              count 10-15; a lower-case 'x' clears the value so far ("0x05" -> 5, "0x10" -> 10).
//   ParseDec   as ParseDec8 without the 'x' rule; after a '-' every following character
//              subtracts (code - '0') * 10^k instead ("-12" -> -12).
//   ParseHex8  digit * 16^k; 'x' or 'X' clears the value so far ("0x3F" and "3F" -> 0x3F).

namespace {

enum class Layout {
  NONE,          // opcode, check
  A8,            // A as 8 bits
  VG,            // 0xE0, 0x00
  A8_ZERO,       // A as 8 bits, 0x00
  A16,           // A as 16 bits
  A16_V16,       // A and V1 as 16 bits
  A32_V32,       // A and V1 as 32 bits
  RFPW,          // A as 8 bits, 0x00, V1 as 16 bits (a fraction times 8 for parameters 9 and 10)
  RFTW,          // A as 8 bits, up to five values as 16 bits; 13 bytes whatever the count
  TXPW,          // A as 8 bits, 0x00, V1 as 16 bits
  TTW,           // A as 8 bits, up to 32 values as 8 bits; 35 bytes whatever the count
  TTR,           // A as 8 bits, 0x20
  STW,           // A as 8 bits, every value as hexadecimal 8 bits
  MEMORY_WRITE,  // opcode only, no check byte, nothing sent but the header
  TEST_CODE,     // ten bytes 0x01 and the check byte, no opcode byte
  NOTHING,       // recognised; builds nothing, last opcode unchanged
};

struct CommandWord {
  const char* word;
  uint8_t opcode;
  Layout layout;
};

// Compared in this order; a word matches when the line's command word begins with it.
constexpr CommandWord COMMAND_TABLE[] = {
    {"ti", 0x20, Layout::NONE},      {"tms", 0x21, Layout::A8},
    {"vg", 0x22, Layout::VG},        {"rfe", 0x23, Layout::A8_ZERO},
    {"sr", 0x24, Layout::A16_V16},   {"scw", 0x25, Layout::A32_V32},
    {"scr", 0x26, Layout::A8},       {"rfpw", 0x30, Layout::RFPW},
    {"rfpr", 0x31, Layout::A8},      {"rftw", 0x32, Layout::RFTW},
    {"rftr", 0x33, Layout::A8},      {"rxpw", 0x34, Layout::A16_V16},
    {"rxpr", 0x35, Layout::A8},      {"txpw", 0x36, Layout::TXPW},
    {"txpr", 0x37, Layout::A8},      {"ttw", 0x38, Layout::TTW},
    {"ttr", 0x39, Layout::TTR},      {"mw", 0x40, Layout::MEMORY_WRITE},
    {"mr", 0, Layout::NOTHING},      {"cw", 0, Layout::NOTHING},
    {"cr", 0, Layout::NOTHING},      {"mpw", 0x44, Layout::A16_V16},
    {"mpr", 0x45, Layout::A8},       {"spw", 0x50, Layout::A16_V16},
    {"spr", 0x51, Layout::A16},      {"stw", 0x52, Layout::STW},
    {"str", 0x53, Layout::A8},       {"se", 0x54, Layout::A16},
    {"11", 0x01, Layout::TEST_CODE}, {"help", 0, Layout::NOTHING},
    {"exit", 0, Layout::NOTHING},    {"x", 0, Layout::NOTHING},
};

constexpr size_t RFTW_VALUES = 5;
constexpr size_t RFTW_LENGTH = 13;
constexpr size_t TTW_VALUES = 32;
constexpr size_t TTW_LENGTH = 35;
constexpr size_t TEST_CODE_BYTES = 10;

struct Tokens {
  std::string_view word;
  std::string_view first;
  std::string_view values[VALUE_TOKENS_MAX];
  size_t valueCount = 0;
};

// Splits a line; false when it lies outside the language's token limits.
bool Tokenise(std::string_view line, Tokens& t) {
  size_t space = line.find(' ');
  t.word = line.substr(0, space);
  if (t.word.size() > TOKEN_MAX) return false;
  if (space == std::string_view::npos) return true;
  std::string_view rest = line.substr(space + 1);
  space = rest.find(' ');
  t.first = rest.substr(0, space);
  if (t.first.size() > TOKEN_MAX) return false;
  if (space == std::string_view::npos) return true;
  rest = rest.substr(space + 1);
  while (true) {
    const size_t sep = rest.find_first_of(" ,");
    const std::string_view token = rest.substr(0, sep);
    if (t.valueCount == VALUE_TOKENS_MAX || token.size() > TOKEN_MAX) return false;
    t.values[t.valueCount++] = token;
    if (sep == std::string_view::npos) return true;
    rest = rest.substr(sep + 1);
  }
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t Pow32(uint32_t base, size_t exponent) {
  uint32_t value = 1;
  for (size_t i = 0; i < exponent; ++i) value *= base;  // wraps modulo 2^32
  return value;
}

// A decimal floating-point literal at the start of token: optional sign, digits, optional point
// and fraction, optional exponent. Reading stops at the first character that does not fit; no
// digits, or a value beyond the range of double, read as 0. Locale-independent.
double ParseFraction(std::string_view token) {
  size_t i = 0;
  const size_t n = token.size();
  auto digits = [&](size_t from) {
    size_t j = from;
    while (j < n && token[j] >= '0' && token[j] <= '9') ++j;
    return j;
  };
  bool negative = false;
  if (i < n && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  const size_t start = i;
  i = digits(i);
  size_t mantissaDigits = i - start;
  if (i < n && token[i] == '.') {
    const size_t fraction = digits(i + 1);
    mantissaDigits += fraction - (i + 1);
    i = fraction;
  }
  if (mantissaDigits == 0) return 0.0;
  if (i < n && (token[i] == 'e' || token[i] == 'E')) {
    size_t j = i + 1;
    if (j < n && (token[j] == '+' || token[j] == '-')) ++j;
    const size_t end = digits(j);
    if (end > j) i = end;  // an 'e' without digits is not part of the number
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(token.data() + start, token.data() + i, value);
  if (ec != std::errc() || ptr != token.data() + i) return 0.0;
  return negative ? -value : value;
}

// The fraction times 8, truncated toward zero, as its low 16 bits (like any 16-bit argument).
uint16_t EighthsLow16(double value) {
  const double scaled = std::trunc(value * 8.0);
  if (!std::isfinite(scaled)) return 0;
  return static_cast<uint16_t>(static_cast<int64_t>(std::fmod(scaled, 65536.0)));
}

// Writes payload bytes and keeps the running XOR check.
class PayloadWriter {
 public:
  explicit PayloadWriter(uint8_t* out) : out_(out) {}
  void Byte(uint8_t b) {
    out_[count_++] = b;
    check_ ^= b;
  }
  void U16(uint32_t v) {
    Byte(static_cast<uint8_t>(v));
    Byte(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v);
    U16(v >> 16);
  }
  void Check() { out_[count_++] = check_; }
  size_t Count() const { return count_; }

 private:
  uint8_t* out_;
  size_t count_ = 0;
  uint8_t check_ = 0;
};

uint16_t D16(std::string_view token) {
  return static_cast<uint16_t>(ParseDec(token));
}
uint32_t D32(std::string_view token) {
  return static_cast<uint32_t>(ParseDec(token));
}

// Builds the payload of a recognised word; returns its length.
size_t Encode(const CommandWord& cmd, const Tokens& t, uint8_t* payload) {
  PayloadWriter w(payload);
  const std::string_view v1 = t.valueCount > 0 ? t.values[0] : std::string_view();
  if (cmd.layout != Layout::TEST_CODE) w.Byte(cmd.opcode);
  switch (cmd.layout) {
    case Layout::NONE:
      break;
    case Layout::A8:
      w.Byte(ParseDec8(t.first));
      break;
    case Layout::VG:
      w.Byte(0xE0);
      w.Byte(0x00);
      break;
    case Layout::A8_ZERO:
      w.Byte(ParseDec8(t.first));
      w.Byte(0x00);
      break;
    case Layout::A16:
      w.U16(D16(t.first));
      break;
    case Layout::A16_V16:
      w.U16(D16(t.first));
      w.U16(D16(v1));
      break;
    case Layout::A32_V32:
      w.U32(D32(t.first));
      w.U32(D32(v1));
      break;
    case Layout::RFPW: {
      const uint8_t param = ParseDec8(t.first);
      w.Byte(param);
      w.Byte(0x00);
      w.U16(param == 9 || param == 10 ? EighthsLow16(ParseFraction(v1)) : D16(v1));
      break;
    }
    case Layout::RFTW:
      w.Byte(ParseDec8(t.first));
      for (size_t i = 0; i < t.valueCount; ++i) w.U16(D16(t.values[i]));
      w.Check();
      // Fewer values: the check byte follows the last one and zero bytes fill the fixed length.
      std::memset(payload + w.Count(), 0, RFTW_LENGTH - w.Count());
      return RFTW_LENGTH;
    case Layout::TXPW:
      w.Byte(ParseDec8(t.first));
      w.Byte(0x00);
      w.U16(D16(v1));
      break;
    case Layout::TTW:
      w.Byte(ParseDec8(t.first));
      for (size_t i = 0; i < t.valueCount; ++i) w.Byte(ParseDec8(t.values[i]));
      w.Check();
      std::memset(payload + w.Count(), 0, TTW_LENGTH - w.Count());
      return TTW_LENGTH;
    case Layout::TTR:
      w.Byte(ParseDec8(t.first));
      w.Byte(0x20);
      break;
    case Layout::STW:
      w.Byte(ParseDec8(t.first));
      for (size_t i = 0; i < t.valueCount; ++i) w.Byte(ParseHex8(t.values[i]));
      break;
    case Layout::TEST_CODE:
      for (size_t i = 0; i < TEST_CODE_BYTES; ++i) w.Byte(0x01);
      break;
    case Layout::MEMORY_WRITE:
    case Layout::NOTHING:
      return 0;
  }
  w.Check();
  return w.Count();
}

const CommandWord* Recognise(std::string_view word) {
  for (const auto& cmd : COMMAND_TABLE) {
    if (word.starts_with(cmd.word)) return &cmd;
  }
  return nullptr;
}

}  // namespace

uint16_t Pow16(uint16_t base, int exponent) {
  uint16_t value = 1;
  for (int i = 0; i < exponent; ++i) value = static_cast<uint16_t>(value * base);
  return value;
}

uint8_t ParseDec8(std::string_view token) {
  uint32_t value = 0;
  for (size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    if (c == 'x') {
      value = 0;
      continue;
    }
    const int digit = DigitValue(c);
    if (digit >= 0) value += static_cast<uint32_t>(digit) * Pow16(10, token.size() - 1 - i);
  }
  return static_cast<uint8_t>(value);
}

int32_t ParseDec(std::string_view token) {
  uint32_t value = 0;  // modulo 2^32, read as signed at the end
  bool negative = false;
  for (size_t i = 0; i < token.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(token[i]);
    const uint32_t place = Pow32(10, token.size() - 1 - i);
    if (c == '-') {
      negative = true;
    } else if (negative) {
      value -= static_cast<uint32_t>(static_cast<int32_t>(c) - '0') * place;
    } else {
      const int digit = DigitValue(static_cast<char>(c));
      if (digit >= 0) value += static_cast<uint32_t>(digit) * place;
    }
  }
  return static_cast<int32_t>(value);
}

uint8_t ParseHex8(std::string_view token) {
  uint32_t value = 0;
  for (size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    if (c == 'x' || c == 'X') {
      value = 0;
      continue;
    }
    const int digit = DigitValue(c);
    if (digit >= 0) value += static_cast<uint32_t>(digit) * Pow16(16, token.size() - 1 - i);
  }
  return static_cast<uint8_t>(value);
}

int BuildRequest(uint8_t* payload, std::string_view line, uint8_t* length) {
  line = line.substr(0, line.find('\0'));
  if (line.starts_with('/')) return ENC_COMMENT;
  Tokens tokens;
  if (!Tokenise(line, tokens)) return ENC_UNKNOWN;
  const CommandWord* cmd = Recognise(tokens.word);
  if (cmd == nullptr) return ENC_UNKNOWN;
  if (cmd->layout == Layout::RFTW && tokens.valueCount > RFTW_VALUES) return ENC_UNKNOWN;
  if (cmd->layout == Layout::TTW && tokens.valueCount > TTW_VALUES) return ENC_UNKNOWN;
  if (cmd->layout == Layout::NOTHING) return ENC_OK;

  *length = static_cast<uint8_t>(Encode(*cmd, tokens, payload));
  Encoder().lastOpcode = cmd->opcode;
  return ENC_OK;
}

int EncodeCommand(std::string_view line) {
  if (line.empty() || line.front() == '\0') return ENC_UNKNOWN;
  uint8_t payload[PAYLOAD_BUFFER_SIZE] = {};
  uint8_t length = 0;
  const int result = BuildRequest(payload, line, &length);
  if (result == ENC_OK) {
    EncoderState& state = Encoder();
    state.pendingLength = FrameRequest(state.pendingFrame, payload, length);
  }
  return result;
}

int SendCommandText(std::string_view text) {
  EncoderState& state = Encoder();
  const size_t copied = std::min(text.size(), COMMAND_TEXT_MAX);
  std::memmove(state.commandText, text.data(), copied);
  state.commandText[copied] = '\0';
  if (copied < text.size()) return EncodeCommand(text);
  return EncodeCommand(std::string_view(state.commandText, copied));
}

uint8_t LastOpcode() {
  return Encoder().lastOpcode;
}

uint8_t FrameRequest(uint8_t* out, const uint8_t* payload, uint8_t length) {
  uint8_t scratch[FRAME_BUFFER_SIZE];
  size_t count = 0;
  scratch[count++] = FRAME_HEADER;
  for (size_t i = 0; i < length; ++i) {
    const bool escape = payload[i] == FRAME_MARKER || payload[i] == FRAME_ESCAPE;
    if (count + (escape ? 2 : 1) > FRAME_BUFFER_SIZE) return 0;
    if (escape) scratch[count++] = FRAME_ESCAPE;
    scratch[count++] = payload[i];
  }
  std::memcpy(out, scratch, count);
  return static_cast<uint8_t>(count);
}

void TakePendingFrame(uint8_t* buffer, int8_t* length) {
  EncoderState& state = Encoder();
  const size_t count = std::min<size_t>(state.pendingLength, FRAME_BUFFER_SIZE);
  std::memcpy(buffer, state.pendingFrame, count);
  *length = static_cast<int8_t>(count);
  state.pendingLength = 0;
}

int Unescape(uint8_t* buffer, int length) {
  int removed = 0;
  int i = 0;
  while (i < length) {
    if (buffer[i] == FRAME_ESCAPE && i + 1 < length &&
        (buffer[i + 1] == FRAME_MARKER || buffer[i + 1] == FRAME_ESCAPE)) {
      // drop the escape; the byte it protected moves into its place and is kept as data
      std::memmove(buffer + i, buffer + i + 1, static_cast<size_t>(length - i - 1));
      --length;
      ++removed;
    }
    ++i;
  }
  return removed;
}

EncoderState& Encoder() {
  static EncoderState state;
  return state;
}

void ResetEncoderState() {
  Encoder() = EncoderState{};
}
