#include <CLI/CLI.hpp>
#include <cstdio>
#include <string_view>

#include "cli/CliCommand.h"
#include "sim/LinkHarness.h"

namespace {
// "0x54" or decimal "84".
bool ParseOpcode(std::string_view text, uint8_t& opcode) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 3) return false;
  unsigned value = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (digit >= static_cast<unsigned>(base)) return false;
    value = value * static_cast<unsigned>(base) + digit;
  }
  if (value > 0xFF) return false;
  opcode = static_cast<uint8_t>(value);
  return true;
}

std::string lastOpcodeText = "0";
std::vector<std::string> hex;

void Define(CLI::App& app) {
  app.add_option("--last-opcode", lastOpcodeText,
                 "opcode of the last request the answers are classed against (0x54 or 84)")
      ->type_name("0xNN")
      ->default_str("0")
      ->check(CLI::Validator(
          [](std::string& text) {
            uint8_t opcode = 0;
            return ParseOpcode(text, opcode) ? std::string()
                                             : "bad opcode '" + text + "' (0x00 to 0xFF)";
          },
          "0x00..0xFF"));
  app.add_option("HEX", hex, "received bytes in hex, separate (02 14) or joined (0214)")
      ->required();
}

int Run() {
  uint8_t lastOpcode = 0;
  ParseOpcode(lastOpcodeText, lastOpcode);
  std::vector<uint8_t> stream;
  std::string error;
  if (!ParseHexBytes(hex, stream, error)) return CliUsageError("frames", error);
  if (stream.empty()) return CliUsageError("frames", "give the received bytes in hex");

  LinkHarness link;
  for (const FrameReport& frame : link.Receive(stream, lastOpcode)) {
    std::printf("%s\n", FormatFrameReport(frame).c_str());
  }
  return 0;
}

const bool registered = RegisterCliCommand(
    {"frames", "cut a received byte stream into answer frames and classify each", &Define, &Run});
}  // namespace
