#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/visa/SimDevice.h"

// An instrument for transport tests: it records every message and answers from a table of
// query -> (busy ms, reply); a query not in the table is not answered.
class ScriptDevice : public visa::SimDevice {
 public:
  explicit ScriptDevice(std::string name) : name_(std::move(name)) {
    replies["*IDN?"] = {0, "SIM," + name_ + ",0,1.0"};
    replies["*OPC?"] = {0, "1"};
    replies["LONG?"] = {0, "0123456789"};
    replies["SLOW?"] = {400, "late"};
    replies["FAST?"] = {0, "fast"};
  }

  std::map<std::string, std::pair<uint32_t, std::string>> replies;
  std::vector<std::string> messages;

  uint32_t Write(const std::string& message) override {
    messages.push_back(message);
    auto it = replies.find(message);
    if (it == replies.end()) return 0;
    output_.push_back(it->second.second);
    return it->second.first;
  }
  std::optional<std::string> Read() override {
    if (output_.empty()) return std::nullopt;
    std::string line = std::move(output_.front());
    output_.pop_front();
    return line;
  }

 private:
  std::string name_;
  std::deque<std::string> output_;
};
