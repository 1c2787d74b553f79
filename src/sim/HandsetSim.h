#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sim/Bench.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// What hosts the simulated handset: the line toward the station and a clock for its delays.
// SimPort in virtual time and the pseudo-terminal of tesmira-bench both provide it.
class HandsetLink {
 public:
  virtual ~HandsetLink() = default;
  // The bytes leave the handset now; the host adds their wire time.
  virtual void Transmit(std::vector<uint8_t> bytes) = 0;
  virtual void After(uint64_t delayMs, std::function<void()> fn) = 0;
};

// The handset's side of the serial protocol, byte for byte. Request frames (0x02, header 0x14,
// escaped payload, 0x02) are cut from the stream; the payload's XOR check byte is verified; the
// command runs on the bench's handset and the answer 0x02 0x14 opcode status sub-code data...
// check 0x02 (escaped) leaves after a few milliseconds of processing. A bad check byte or an
// unknown opcode is answered with a non-zero status. Bytes are ignored while the handset is
// unpowered or booting. The bench's fault switches act here (silent, bad status, wrong opcode,
// garbage between frames).
class HandsetSim : public SimFarEnd {
 public:
  HandsetSim(sim::Bench& bench, HandsetLink& link);
  ~HandsetSim() override;
  HandsetSim(const HandsetSim&) = delete;
  HandsetSim& operator=(const HandsetSim&) = delete;

  void OnStationBytes(const uint8_t* data, size_t count) override;

  static constexpr size_t MAX_PAYLOAD = 128;  // longer frames are dropped unanswered
  static constexpr uint32_t BASE_LATENCY_MS = 3;

  struct Counters {
    int frames = 0;    // complete request frames
    int answered = 0;  // answers sent
    int badCheck = 0;  // frames with a wrong check byte
    int dropped = 0;   // empty, header-less, too long, or arrived while deaf
  };
  const Counters& counters() const { return counters_; }

  // Observers: every request payload (check byte included) and every answer frame as sent.
  std::function<void(const std::vector<uint8_t>& payload)> onRequest;
  std::function<void(const std::vector<uint8_t>& frame)> onAnswer;

 private:
  enum class Rx { IDLE, START, BODY };
  void OnByte(uint8_t b);
  void OnFrame();
  void SendAnswer(uint8_t opcode, uint8_t status, uint8_t subCode, const std::vector<uint8_t>& data,
                  uint64_t delayMs, std::function<void()> after);

  sim::Bench& bench_;
  HandsetLink& link_;
  std::shared_ptr<bool> alive_;
  Rx rx_ = Rx::IDLE;
  bool escaped_ = false;
  bool overflow_ = false;
  std::vector<uint8_t> payload_;
  uint64_t next_free_ms_ = 0;  // answers leave in request order
  uint64_t jitter_state_;
  Counters counters_;
};

// Builds an answer frame as the handset puts it on the line.
std::vector<uint8_t> BuildAnswerFrame(uint8_t opcode, uint8_t status, uint8_t subCode,
                                      const std::vector<uint8_t>& data);

// The handset on a SimPort in virtual time: attaches itself as the port's far end.
class SimPortHandset : private HandsetLink {
 public:
  SimPortHandset(SimLoop& loop, SimPort& port, sim::Bench& bench);
  ~SimPortHandset() override;
  HandsetSim& handset() { return sim_; }

 private:
  void Transmit(std::vector<uint8_t> bytes) override;
  void After(uint64_t delayMs, std::function<void()> fn) override;

  SimLoop& loop_;
  SimPort& port_;
  HandsetSim sim_;
};
