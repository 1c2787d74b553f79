#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "platform/Notifier.h"
#include "sim/Bench.h"
#include "sim/BenchHandset.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// A service window's world in virtual time: the simulated handset of a bench on an open link,
// and the operator's messages recorded.
struct RecordedMessages : Notifier {
  std::vector<std::string> texts;
  void Message(const std::string& text) override { texts.push_back(text); }
};

struct ServiceBench {
  explicit ServiceBench(uint64_t seed = 7) : bench(seed, [this] { return loop.Now(); }) {
    ResetEncoderState();
    port.Open(1, 115200);
    handset.handset().onRequest = [this](const std::vector<uint8_t>& payload) {
      if (!payload.empty()) requests.push_back(payload[0]);
    };
  }

  SimLoop loop;
  sim::Bench bench;
  SimPort port{loop};
  SimPortHandset handset{loop, port, bench};
  RecordedMessages messages;
  std::vector<uint8_t> requests;  // opcode of every request frame the handset received
};
