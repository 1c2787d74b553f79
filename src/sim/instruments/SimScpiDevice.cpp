#include "sim/instruments/SimScpiDevice.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {
// Standard event status register bits.
constexpr uint8_t ESR_OPC = 0x01;
constexpr uint8_t ESR_QUERY = 0x04;
constexpr uint8_t ESR_DEVICE = 0x08;
constexpr uint8_t ESR_EXECUTION = 0x10;
constexpr uint8_t ESR_COMMAND = 0x20;

std::string UpperCopy(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}
}  // namespace

bool SimScpiDevice::Request::Real(size_t i, double* value) {
  if (i >= args_.size()) {
    Error(-109, "Missing parameter");
    return false;
  }
  const std::string& a = args_[i];
  char* end = nullptr;
  const double v = std::strtod(a.c_str(), &end);
  if (a.empty() || end == a.c_str() || *end != '\0' || !std::isfinite(v)) {
    Error(-104, "Data type error");
    return false;
  }
  *value = v;
  return true;
}

bool SimScpiDevice::Request::Bool(size_t i, bool* value) {
  std::string word;
  if (!Word(i, &word)) return false;
  if (word == "ON" || word == "1") {
    *value = true;
  } else if (word == "OFF" || word == "0") {
    *value = false;
  } else {
    Error(-224, "Illegal parameter value");
    return false;
  }
  return true;
}

bool SimScpiDevice::Request::Word(size_t i, std::string* value) {
  if (i >= args_.size()) {
    Error(-109, "Missing parameter");
    return false;
  }
  *value = UpperCopy(args_[i]);
  return true;
}

bool SimScpiDevice::Request::NoArgs() {
  if (args_.empty()) return true;
  Error(-108, "Parameter not allowed");
  return false;
}

SimScpiDevice::SimScpiDevice() {
  Command("*IDN?", [this](Request& r) {
    if (r.NoArgs()) r.Reply(FaultWrongIdentity() ? OtherIdentity() : Identity());
  });
  Command("*RST", [this](Request& r) {
    if (!r.NoArgs()) return;
    ResetState();
    r.Busy(ResetMs());
  });
  Command("*CLS", [this](Request& r) {
    if (!r.NoArgs()) return;
    errors_.clear();
    esr_ = 0;
  });
  Command("*OPC", [this](Request& r) {
    if (r.NoArgs()) esr_ |= ESR_OPC;
  });
  Command("*OPC?", [](Request& r) {
    if (r.NoArgs()) r.Reply("1");
  });
  Command("*ESR?", [this](Request& r) {
    if (!r.NoArgs()) return;
    r.Reply(Nr1(esr_));
    esr_ = 0;
  });
  Command("SYSTem:ERRor[:NEXT]?", [this](Request& r) {
    if (!r.NoArgs()) return;
    if (errors_.empty()) {
      r.Reply("+0,\"No error\"");
      return;
    }
    char text[300];
    std::snprintf(text, sizeof text, "%+d,\"%s\"", errors_.front().first,
                  errors_.front().second.c_str());
    errors_.pop_front();
    r.Reply(text);
  });
}

void SimScpiDevice::Command(std::string_view pattern, Handler handler) {
  commands_.push_back({ScpiPattern(pattern), std::move(handler)});
}

void SimScpiDevice::PushError(int code, const char* text) {
  if (code <= -100 && code > -200)
    esr_ |= ESR_COMMAND;
  else if (code <= -200 && code > -300)
    esr_ |= ESR_EXECUTION;
  else if (code <= -300 && code > -400)
    esr_ |= ESR_DEVICE;
  else if (code <= -400 && code > -500)
    esr_ |= ESR_QUERY;
  if (errors_.size() >= ERROR_QUEUE_SIZE) {
    errors_.back() = {-350, "Queue overflow"};
    return;
  }
  errors_.emplace_back(code, text);
}

uint32_t SimScpiDevice::Write(const std::string& message) {
  // Behind a gateway or adapter a closed instrument is one that no longer answers.
  if (FaultSilent() || FaultClosed()) return 0;
  if (!output_.empty()) {
    output_.clear();
    PushError(-410, "Query INTERRUPTED");
  }
  std::vector<std::string> replies;
  uint32_t busy = 0;
  for (const ScpiUnit& unit : SplitScpiMessage(message)) {
    const Entry* entry = nullptr;
    for (const Entry& e : commands_) {
      if (e.pattern.Matches(unit)) {
        entry = &e;
        break;
      }
    }
    if (!entry) {
      PushError(-113, "Undefined header");
      continue;
    }
    Request request(*this, SplitScpiArgs(unit.args));
    entry->handler(request);
    for (std::string& reply : request.replies_) replies.push_back(std::move(reply));
    busy += request.busyMs_;
    // The error fault spares the status commands, so that it can be seen at all.
    static const ScpiPattern errorQuery("SYSTem:ERRor[:NEXT]?");
    const bool statusCommand = unit.common || errorQuery.Matches(unit);
    if (FaultError() && !statusCommand) PushError(-200, "Execution error");
  }
  if (!replies.empty()) {
    std::string line;
    for (size_t i = 0; i < replies.size(); ++i) line += (i ? ";" : "") + replies[i];
    output_.push_back(std::move(line));
  }
  return busy;
}

std::optional<std::string> SimScpiDevice::Read() {
  if (FaultSilent() || FaultClosed() || output_.empty()) return std::nullopt;
  std::string line = std::move(output_.front());
  output_.pop_front();
  return line;
}

std::string SimScpiDevice::Nr3(double value) {
  if (std::isnan(value)) return "9.91E+37";
  char text[40];
  std::snprintf(text, sizeof text, "%+.6E", value);
  return text;
}

std::string SimScpiDevice::Nr1(long value) {
  return std::to_string(value);
}

}  // namespace sim
