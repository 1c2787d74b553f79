#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/Bcommand.h"
#include "link/Exchange.h"
#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// The station's side of the handset link in virtual time: the real encoder and Exchange on a
// SimPort whose far end is the simulated handset of a bench.
struct Answer {
  AnswerClass cls = ANSWER_NONE;
  bool timedOut = false;
  std::vector<uint8_t> raw;      // as received (escapes in place)
  std::vector<uint8_t> decoded;  // unescaped
  uint64_t atMs = 0;

  uint8_t Byte(size_t i) const { return i < decoded.size() ? decoded[i] : 0xEE; }
  unsigned U16(size_t i) const { return Byte(i) | (Byte(i + 1) << 8); }
  int S16(size_t i) const { return static_cast<int16_t>(U16(i)); }
  size_t DataCount() const { return decoded.size() >= 7 ? decoded.size() - 7 : 0; }
};

class StationSide : public ExchangeClient {
 public:
  explicit StationSide(uint64_t seed = 7)
      : bench(seed, [this] { return loop.Now(); }),
        port(loop),
        handset(loop, port, bench),
        exchange(loop, port, *this, 3000) {
    ResetEncoderState();
    port.Open(1, 115200);
    port.SetOwner(&exchange);
  }

  // Sends a line as a window does and waits (virtual time) for the first frame or the time-out.
  Answer Ask(const std::string& line) {
    answers_.clear();
    timed_out_ = false;
    exchange.Send(line);
    loop.RunUntil([this] { return !answers_.empty() || timed_out_; }, 10000);
    if (answers_.empty()) {
      Answer a;
      a.timedOut = true;
      return a;
    }
    return answers_.front();
  }

  // Every frame received during ms more of virtual time.
  std::vector<Answer> Collect(uint64_t ms) {
    loop.RunFor(ms);
    return answers_;
  }
  void ClearAnswers() { answers_.clear(); }

  void DecodeAnswer(Exchange& ex) override {
    Answer a;
    a.cls = ex.CheckAnswer();
    a.raw.assign(ex.Frame(), ex.Frame() + ex.FrameLength());
    ex.DecodeFrameCopy();
    a.decoded.assign(ex.Decoded(), ex.Decoded() + ex.DecodedLength());
    a.atMs = loop.Now();
    if (a.cls == ANSWER_OK) ex.StopTimers();
    if (a.cls == ANSWER_OTHER) ex.StopAnswerTimer();
    answers_.push_back(a);
  }
  void OnAnswerTimeout(Exchange& ex) override {
    ex.StopTimers();
    timed_out_ = true;
  }

  SimLoop loop;
  sim::Bench bench;
  SimPort port;
  SimPortHandset handset;
  Exchange exchange;

 private:
  std::vector<Answer> answers_;
  bool timed_out_ = false;
};
