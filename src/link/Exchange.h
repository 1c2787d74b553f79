#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "link/Port.h"
#include "platform/EventLoop.h"

enum AnswerClass { ANSWER_NONE = 0, ANSWER_OTHER = 1, ANSWER_OK = 2, ANSWER_STATUS_ERROR = 3 };

constexpr int TIMER_POLL = 1;
constexpr int TIMER_ANSWER = 2;
constexpr uint32_t POLL_PERIOD_MS = 50;

class Exchange;

// What a window supplies to the exchange: its answer decoder and its time-out reaction.
class ExchangeClient {
 public:
  virtual ~ExchangeClient() = default;
  // A complete frame is in Frame(); the decoder begins with ex.CheckAnswer().
  virtual void DecodeAnswer(Exchange& ex) = 0;
  // TIMER_ANSWER fired (both timers still armed; the reaction decides).
  virtual void OnAnswerTimeout(Exchange& ex) = 0;
  // Timer ids other than TIMER_POLL and TIMER_ANSWER set through this exchange's loop.
  virtual void OnOtherTimer(int /*id*/) {}
  // TransmitFrame arms the two timers only while this holds (the calibration window refuses
  // while a call or resume is pending or an instrument fault is set).
  virtual bool MayArmTimers() { return true; }
  // The port's device is gone (see PortOwner::OnPortLost); the operator has been told.
  virtual void OnPortLost(Exchange& /*ex*/) {}
};

// The command-and-answer machinery one window carries: receive ring, frame assembly, send and
// wire buffers, TIMER_POLL and TIMER_ANSWER. Runs on the user-interface thread only.
class Exchange : public PortOwner, public TimerClient {
 public:
  static constexpr uint32_t RING_SIZE = 4096;
  static constexpr uint32_t FRAME_SIZE = 4096;

  Exchange(EventLoop& loop, Port& port, ExchangeClient& client, uint32_t answerTimeoutMs);
  ~Exchange() override;  // leaves the port (when it owns it) and kills both timers

  void Reset();  // ring indices and lengths 0, flags clear
  void SetAnswerTimeout(uint32_t ms) { answer_timeout_ms_ = ms; }
  uint32_t AnswerTimeout() const { return answer_timeout_ms_; }

  // The sending idiom: false (and nothing sent) when the link is closed; otherwise Purge,
  // SendCommandText(line), LoadFrame, TransmitFrame.
  bool Send(std::string_view line);
  void LoadFrame();      // send buffer = TakePendingFrame()
  void TransmitFrame();  // 0x02, send buffer, arm timers, 0x02 (the closing marker writes)
  void PutTxByte(uint8_t byte);

  // Copies the port's burst into the ring. More than 4096 unread bytes: the oldest are dropped,
  // so the ring always holds the newest ones in order.
  void OnCommData() override;
  void OnPortLost() override;  // kills both timers, then tells the client
  // A loss reaches only the port's owner of the moment: the poll or answer timer of an exchange
  // armed on the open port before it was lost ends in OnPortLost as well, never in a time-out.
  void OnTimer(int id) override;
  void ProcessRxByte();  // one byte of the ring through the receive rule
  AnswerClass CheckAnswer();

  void StopPollTimer();
  void StopAnswerTimer();
  void StopTimers() {
    StopPollTimer();
    StopAnswerTimer();
  }

  // The frame handed to DecodeAnswer, escapes in place, both markers included.
  const uint8_t* Frame() const { return frame_; }
  uint16_t FrameLength() const { return frame_length_; }
  // Copies the frame into Decoded() and removes its escapes; returns the decoded length.
  uint16_t DecodeFrameCopy();
  const uint8_t* Decoded() const { return decoded_; }
  uint16_t DecodedLength() const { return decoded_length_; }
  uint8_t AnswerOpcode() const { return answer_opcode_; }
  uint8_t LastOpcodeSeen() const { return last_opcode_; }

  uint32_t RingCount() const { return (ring_write_ - ring_read_ + RING_SLOTS) % RING_SLOTS; }
  bool InFrame() const { return in_frame_; }

  const uint8_t* SendBuffer() const { return send_buffer_; }
  uint16_t SendLength() const { return send_length_; }
  Port& GetPort() { return port_; }
  EventLoop& Loop() { return loop_; }

  // Observer of every wire frame handed to SendBytes (trace, tests).
  std::function<void(const uint8_t* wire, size_t count)> onWire;

 private:
  EventLoop& loop_;
  Port& port_;
  ExchangeClient& client_;
  uint32_t answer_timeout_ms_;

  // Holds RING_SIZE bytes: one slot more, so a whole 4096-byte burst fits and full and empty
  // still differ.
  static constexpr uint32_t RING_SLOTS = RING_SIZE + 1;
  uint8_t ring_[RING_SLOTS] = {};
  uint32_t ring_write_ = 0;
  uint32_t ring_read_ = 0;

  uint8_t frame_[FRAME_SIZE] = {};
  uint16_t frame_length_ = 0;
  bool in_frame_ = false;
  bool escaped_ = false;

  uint8_t decoded_[FRAME_SIZE] = {};
  uint16_t decoded_length_ = 0;

  uint8_t send_buffer_[4096] = {};
  uint16_t send_length_ = 0;

  uint8_t wire_[100] = {};
  uint16_t wire_index_ = 0;
  bool collecting_ = false;

  uint8_t last_opcode_ = 0;
  uint8_t answer_opcode_ = 0;
  // The timers were armed for a frame that went out on an open port. One armed on a closed
  // port keeps its time-out: that is how a press on a closed link is reported.
  bool armed_on_open_port_ = false;
  bool loss_told_ = false;  // the client heard of the loss since the last send
};
