#include "sim/HandsetSim.h"

#include <algorithm>
#include <utility>

#include "sim/HandsetCommands.h"
#include "sim/SimRandom.h"

namespace {
constexpr uint8_t MARKER = 0x02;
constexpr uint8_t ESCAPE = 0x10;
constexpr uint8_t HEADER = 0x14;
// What a wrong-opcode fault puts in the echo: never a marker, escape or real opcode.
constexpr uint8_t WRONG_OPCODE_FLIP = 0x80;
}  // namespace

std::vector<uint8_t> BuildAnswerFrame(uint8_t opcode, uint8_t status, uint8_t subCode,
                                      const std::vector<uint8_t>& data) {
  std::vector<uint8_t> body = {opcode, status, subCode};
  body.insert(body.end(), data.begin(), data.end());
  uint8_t check = 0;
  for (uint8_t b : body) check ^= b;
  body.push_back(check);
  std::vector<uint8_t> frame = {MARKER, HEADER};
  for (uint8_t b : body) {
    if (b == MARKER || b == ESCAPE) frame.push_back(ESCAPE);
    frame.push_back(b);
  }
  frame.push_back(MARKER);
  return frame;
}

HandsetSim::HandsetSim(sim::Bench& bench, HandsetLink& link)
    : bench_(bench),
      link_(link),
      alive_(std::make_shared<bool>(true)),
      jitter_state_(sim::MixSeed(bench.Seed(), 0x4C4154ULL)) {}

HandsetSim::~HandsetSim() {
  *alive_ = false;  // answers still scheduled on the host are dropped
}

void HandsetSim::OnStationBytes(const uint8_t* data, size_t count) {
  if (!bench_.HandsetReady()) {
    // Unpowered or booting: the UART is not listening; a frame in progress is lost.
    if (count > 0) ++counters_.dropped;
    rx_ = Rx::IDLE;
    escaped_ = false;
    return;
  }
  for (size_t i = 0; i < count; ++i) OnByte(data[i]);
}

void HandsetSim::OnByte(uint8_t b) {
  switch (rx_) {
    case Rx::IDLE:
      if (b == MARKER) {
        rx_ = Rx::START;
        payload_.clear();
        escaped_ = false;
        overflow_ = false;
      }
      return;
    case Rx::START:
      // A marker right after a marker starts again: an empty frame (02 02) carries nothing, and
      // the closing marker of a frame we missed the start of must not swallow the next one.
      if (b == MARKER) return;
      if (b == HEADER) {
        rx_ = Rx::BODY;
      } else {
        ++counters_.dropped;  // not a request frame; wait for the next marker
        rx_ = Rx::IDLE;
      }
      return;
    case Rx::BODY:
      if (escaped_) {
        escaped_ = false;  // the escaped byte is data whatever its value
      } else if (b == ESCAPE) {
        escaped_ = true;
        return;
      } else if (b == MARKER) {
        rx_ = Rx::IDLE;
        OnFrame();
        return;
      }
      if (payload_.size() >= MAX_PAYLOAD) {
        overflow_ = true;
      } else {
        payload_.push_back(b);
      }
      return;
  }
}

void HandsetSim::OnFrame() {
  ++counters_.frames;
  if (overflow_ || payload_.empty() || bench_.faults.silentHandset) {
    ++counters_.dropped;
    return;
  }
  if (onRequest) onRequest(payload_);

  // Processing time: a few milliseconds, more for EEPROM work.
  jitter_state_ = sim::MixSeed(jitter_state_, 1);
  const uint64_t jitter = jitter_state_ % 4;

  const uint8_t opcode = payload_[0];
  const uint8_t subCode = payload_.size() > 1 ? payload_[1] : 0;
  uint8_t check = 0;
  for (size_t i = 0; i + 1 < payload_.size(); ++i) check ^= payload_[i];
  if (payload_.size() < 2 || check != payload_.back()) {
    ++counters_.badCheck;
    SendAnswer(opcode, sim::STATUS_BAD_CHECK, subCode, {}, BASE_LATENCY_MS + jitter, nullptr);
    return;
  }

  if (bench_.faults.badStatusOpcode == opcode) {
    SendAnswer(opcode, sim::STATUS_FAILED, subCode, {}, BASE_LATENCY_MS + jitter, nullptr);
    return;
  }
  sim::HandsetReply reply = sim::ExecuteRequest(bench_, payload_.data(), payload_.size() - 1);
  if (!reply.answer) return;
  SendAnswer(opcode, reply.status, reply.subCode, reply.data,
             BASE_LATENCY_MS + jitter + reply.workMs, std::move(reply.after));
}

void HandsetSim::SendAnswer(uint8_t opcode, uint8_t status, uint8_t subCode,
                            const std::vector<uint8_t>& data, uint64_t delayMs,
                            std::function<void()> after) {
  const uint8_t echo = bench_.faults.wrongOpcode ? opcode ^ WRONG_OPCODE_FLIP : opcode;
  std::vector<uint8_t> bytes;
  if (bench_.faults.garbageBetweenFrames) {
    // Line noise before the answer: anything but a marker.
    jitter_state_ = sim::MixSeed(jitter_state_, 2);
    const size_t n = 3 + jitter_state_ % 5;
    for (size_t i = 0; i < n; ++i) {
      uint8_t g = static_cast<uint8_t>(jitter_state_ >> (8 * i));
      if (g == MARKER) g = 0xFD;
      bytes.push_back(g);
    }
  }
  std::vector<uint8_t> frame = BuildAnswerFrame(echo, status, subCode, data);
  bytes.insert(bytes.end(), frame.begin(), frame.end());

  // Answers leave in the order of their requests.
  const uint64_t now = bench_.NowMs();
  const uint64_t at = std::max(now + delayMs, next_free_ms_);
  next_free_ms_ = at + 1;
  link_.After(at - now, [this, alive = alive_, bytes = std::move(bytes), frame = std::move(frame),
                         after = std::move(after)]() mutable {
    if (!*alive) return;
    if (!bench_.HandsetReady()) return;  // lost power meanwhile
    ++counters_.answered;
    if (onAnswer) onAnswer(frame);
    link_.Transmit(std::move(bytes));
    if (after) after();
  });
}

SimPortHandset::SimPortHandset(SimLoop& loop, SimPort& port, sim::Bench& bench)
    : loop_(loop), port_(port), sim_(bench, *this) {
  port_.Attach(&sim_);
}

SimPortHandset::~SimPortHandset() {
  port_.Attach(nullptr);
}

void SimPortHandset::Transmit(std::vector<uint8_t> bytes) {
  port_.DeviceSend(bytes);
}

void SimPortHandset::After(uint64_t delayMs, std::function<void()> fn) {
  loop_.After(delayMs, std::move(fn));
}
