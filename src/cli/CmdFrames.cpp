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

int RunFrames(const std::vector<std::string>& args) {
  uint8_t lastOpcode = 0;
  std::vector<std::string> hex;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::string_view value;
    if (arg == "--last-opcode") {
      if (i + 1 == args.size()) return CliUsageError("frames", "--last-opcode needs a value");
      value = args[++i];
    } else if (arg.starts_with("--last-opcode=")) {
      value = arg.substr(arg.find('=') + 1);
    } else {
      hex.push_back(args[i]);
      continue;
    }
    if (!ParseOpcode(value, lastOpcode)) {
      return CliUsageError("frames", "bad opcode '" + std::string(value) + "' (0x00 to 0xFF)");
    }
  }
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
    {"frames", "[--last-opcode 0xNN] HEX...",
     "cut a received byte stream into answer frames and classify each", &RunFrames});
}  // namespace
