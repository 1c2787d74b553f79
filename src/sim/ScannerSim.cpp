#include "sim/ScannerSim.h"

#include <utility>

#include "sim/SimRandom.h"

namespace sim {
namespace {

struct FaultName {
  ScannerFault fault;
  const char* name;
};
constexpr FaultName FAULT_NAMES[] = {
    {ScannerFault::NONE, "none"},
    {ScannerFault::SILENT, "silent"},
    {ScannerFault::NG, "ng"},
    {ScannerFault::G1_CODE, "g1"},
    {ScannerFault::SHORT_LINE, "short"},
    {ScannerFault::LETTER_FIRST, "letter"},
    {ScannerFault::NO_CR, "no-cr"},
};

}  // namespace

bool ParseScannerFault(const std::string& name, ScannerFault* fault) {
  for (const FaultName& f : FAULT_NAMES) {
    if (name == f.name) {
      *fault = f.fault;
      return true;
    }
  }
  return false;
}

const char* ScannerFaultName(ScannerFault fault) {
  for (const FaultName& f : FAULT_NAMES) {
    if (f.fault == fault) return f.name;
  }
  return "none";
}

char ImeiCheckDigit(const std::string& body14) {
  int sum = 0;
  for (size_t i = 0; i < body14.size(); ++i) {
    int d = body14[i] - '0';
    if (i % 2 == 1) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string ScannerModel::NextCode() const {
  if (!codes.empty()) return codes.front();
  // A type allocation code of this bench's line, then a serial counting up per read.
  const uint64_t mix = MixSeed(seed, 0x5343414EULL);
  std::string body = "3544" + std::to_string(10 + mix % 90) + "01";
  const std::string serial = std::to_string(100000 + (mix / 97 + generated) % 900000);
  body += serial;
  return body + ImeiCheckDigit(body);
}

std::string ScannerModel::TakeCode() {
  const std::string code = NextCode();
  if (!codes.empty()) {
    codes.pop_front();
  } else {
    ++generated;
  }
  return code;
}

}  // namespace sim

ScannerSim::ScannerSim(sim::ScannerModel& model, ScannerLink& link) : model_(model), link_(link) {}

ScannerSim::~ScannerSim() {
  *alive_ = false;
}

void ScannerSim::OnStationBytes(const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (data[i] == '\r') {
      OnCommand(line_);
      line_.clear();
    } else if (line_.size() < 32) {
      line_ += static_cast<char>(data[i]);
    }
  }
}

void ScannerSim::OnCommand(const std::string& command) {
  model_.commands.push_back(command);
  if (model_.onCommand) model_.onCommand(command);
  const sim::ScannerFault fault = model_.fault;
  if (fault == sim::ScannerFault::SILENT) return;
  if (command == "BCLR") {
    Send(fault == sim::ScannerFault::NG ? "NG\r" : "OK\r", ANSWER_MS);
    return;
  }
  if (command == "LOFF") {
    reading_ = false;
    ++read_generation_;
    return;
  }
  if (command != "LON" || reading_) return;  // a repeated "LON" keeps the read under way
  reading_ = true;
  const uint64_t generation = ++read_generation_;
  link_.After(READ_MS, [this, alive = alive_, generation] {
    if (!*alive || !reading_ || generation != read_generation_) return;
    reading_ = false;
    std::string code = model_.TakeCode();
    std::string line;
    switch (model_.fault) {
      case sim::ScannerFault::G1_CODE:
        line = "G1" + code.substr(2) + "\r";
        break;
      case sim::ScannerFault::SHORT_LINE:
        line = code.substr(0, 14) + "\r";
        break;
      case sim::ScannerFault::LETTER_FIRST:
        line = "A" + code.substr(1) + "\r";
        break;
      case sim::ScannerFault::NO_CR:
        line = code;
        break;
      default:
        line = code + "\r";
        break;
    }
    model_.handedOut.push_back(line);
    if (onCode) onCode(line);
    link_.Transmit(std::vector<uint8_t>(line.begin(), line.end()));
  });
}

void ScannerSim::Send(const std::string& text, uint32_t delayMs) {
  link_.After(delayMs, [this, alive = alive_, text] {
    if (*alive) link_.Transmit(std::vector<uint8_t>(text.begin(), text.end()));
  });
}

SimPortScanner::SimPortScanner(SimLoop& loop, SimPort& port, sim::ScannerModel& model)
    : loop_(loop), port_(port), sim_(model, *this) {
  port_.Attach(&sim_);
}

SimPortScanner::~SimPortScanner() {
  port_.Attach(nullptr);
}
