#pragma once

// The service panels' logic on the simulated handset in virtual time: the real encoder and
// exchange on a SimPort, the handset of a bench at its far end, messages recorded.

#include <cstdint>
#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "link/Exchange.h"
#include "platform/Notifier.h"
#include "sim/Bench.h"
#include "sim/BenchHandset.h"
#include "sim/HandsetSim.h"
#include "sim/LinkHarness.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

namespace paneltest {

using Wire = std::vector<uint8_t>;

struct RecordingNotifier : Notifier {
  std::vector<std::string> messages;
  void Message(const std::string& text) override { messages.push_back(text); }
};

struct PanelBench {
  explicit PanelBench(uint64_t seed = 11, bool open = true)
      : bench(seed, [this] { return loop.Now(); }) {
    ResetEncoderState();
    if (open) port.Open(1, 115200);
  }

  // Every wire frame the exchange puts out (also on a closed link, where it goes nowhere).
  void Watch(Exchange& ex) {
    ex.onWire = [this](const uint8_t* w, size_t n) { wires.emplace_back(w, w + n); };
  }

  SimLoop loop;
  sim::Bench bench;
  SimPort port{loop};
  SimPortHandset handset{loop, port, bench};
  RecordingNotifier notifier;
  std::vector<Wire> wires;
};

// The wire frames of the lines, as a window puts them out. Touches the process-wide encoder:
// call it once the run under test is over.
inline std::vector<Wire> WiresOf(const std::vector<std::string>& lines) {
  LinkHarness harness;
  std::vector<Wire> out;
  for (const auto& line : lines) out.push_back(harness.Encode(line).wire);
  return out;
}

}  // namespace paneltest
