#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/visa/SimDevice.h"

// A test double for an instrument behind the VISA facade: it records every message exactly as
// it arrived and answers from a script. ":SYST:ERR?" pops the scripted error queue (then
// `+0,"No error"`); other messages are answered from `answers` (exact text) or `respond`.
class ScriptedScpiDevice : public visa::SimDevice {
 public:
  std::vector<std::string> messages;
  std::map<std::string, std::string> answers;
  std::function<std::optional<std::string>(const std::string&)> respond;
  std::deque<std::pair<int, std::string>> errors;
  std::deque<std::string> output;
  uint32_t busyMs = 0;
  bool silent = false;  // records, answers nothing

  uint32_t Write(const std::string& message) override {
    messages.push_back(message);
    if (silent) return busyMs;
    if (message == ":SYST:ERR?") {
      if (errors.empty()) {
        output.push_back("+0,\"No error\"");
      } else {
        output.push_back(std::to_string(errors.front().first) + ",\"" + errors.front().second +
                         "\"");
        errors.pop_front();
      }
      return 0;
    }
    if (auto it = answers.find(message); it != answers.end()) {
      output.push_back(it->second);
    } else if (respond) {
      if (auto reply = respond(message)) output.push_back(*reply);
    }
    return busyMs;
  }

  std::optional<std::string> Read() override {
    if (silent || output.empty()) return std::nullopt;
    std::string line = std::move(output.front());
    output.pop_front();
    return line;
  }

  size_t Count(const std::string& message) const {
    return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
  }
  // The messages other than the error-queue reads, in order.
  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const auto& m : messages) {
      if (m != ":SYST:ERR?") out.push_back(m);
    }
    return out;
  }
};
