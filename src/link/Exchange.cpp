#include "link/Exchange.h"

#include <algorithm>
#include <cstring>

#include "link/Bcommand.h"
#include "platform/Notifier.h"

Exchange::Exchange(EventLoop& loop, Port& port, ExchangeClient& client, uint32_t answerTimeoutMs)
    : loop_(loop), port_(port), client_(client), answer_timeout_ms_(answerTimeoutMs) {}

Exchange::~Exchange() {
  port_.ReleaseOwner(this);
  StopTimers();
}

void Exchange::Reset() {
  ring_write_ = 0;
  ring_read_ = 0;
  frame_length_ = 0;
  in_frame_ = false;
  escaped_ = false;
  decoded_length_ = 0;
  send_length_ = 0;
  wire_index_ = 0;
  collecting_ = false;
}

bool Exchange::Send(std::string_view line) {
  if (!port_.IsOpen()) return false;
  loss_told_ = false;  // open again: a later loss is a new one
  port_.Purge();
  SendCommandText(line);
  LoadFrame();
  TransmitFrame();
  return true;
}

void Exchange::LoadFrame() {
  std::memset(send_buffer_, 0, sizeof send_buffer_);
  int8_t length = 0;
  TakePendingFrame(send_buffer_, &length);
  send_length_ = length > 0 ? static_cast<uint16_t>(length) : 0;
}

void Exchange::TransmitFrame() {
  PutTxByte(FRAME_MARKER);
  for (uint16_t i = 0; i < send_length_; ++i) PutTxByte(send_buffer_[i]);
  if (client_.MayArmTimers()) {
    armed_on_open_port_ = port_.IsOpen();
    loop_.SetTimer(this, TIMER_POLL, POLL_PERIOD_MS);
    loop_.SetTimer(this, TIMER_ANSWER, answer_timeout_ms_);
  }
  PutTxByte(FRAME_MARKER);  // the closing marker hands the frame to the port
}

void Exchange::PutTxByte(uint8_t byte) {
  if (byte == FRAME_MARKER && !collecting_) {
    wire_index_ = 0;
    std::memset(wire_, 0, sizeof wire_);
    wire_[0] = FRAME_MARKER;
    collecting_ = true;
  } else if (collecting_) {
    if (wire_index_ + 1u >= sizeof wire_) {
      collecting_ = false;  // cannot be a frame of ours: abandon it rather than overrun
      return;
    }
    wire_[++wire_index_] = byte;
  }
  // Only the marker at exactly this position ends the frame; an escaped 0x02 inside never does.
  if (byte == FRAME_MARKER && collecting_ && wire_index_ == send_length_ + 1u) {
    collecting_ = false;
    if (onWire) onWire(wire_, wire_index_ + 1u);
    port_.SendBytes(wire_, wire_index_ + 1u);
  }
}

void Exchange::OnPortLost() {
  armed_on_open_port_ = false;
  StopTimers();
  // The port's own word and this exchange's timer can both bring one loss: tell it once.
  if (loss_told_) return;
  loss_told_ = true;
  DebugLog("exchange stopped: its port was lost");
  client_.OnPortLost(*this);
}

void Exchange::OnCommData() {
  const uint8_t* data = port_.ReceivedBuffer();
  const uint32_t count = std::min<uint32_t>(port_.ReceivedCount(), Port::RX_BUFFER_SIZE);
  for (uint32_t i = 0; i < count; ++i) {
    ring_[ring_write_] = data[i];
    ring_write_ = (ring_write_ + 1) % RING_SLOTS;
    if (ring_write_ == ring_read_) ring_read_ = (ring_read_ + 1) % RING_SLOTS;  // drop the oldest
  }
}

void Exchange::OnTimer(int id) {
  if ((id == TIMER_POLL || id == TIMER_ANSWER) && armed_on_open_port_ && port_.Lost()) {
    OnPortLost();
    return;
  }
  if (id == TIMER_POLL) {
    while (ring_read_ != ring_write_) ProcessRxByte();
  } else if (id == TIMER_ANSWER) {
    client_.OnAnswerTimeout(*this);
  } else {
    client_.OnOtherTimer(id);
  }
}

void Exchange::ProcessRxByte() {
  if (ring_read_ == ring_write_) return;
  const uint8_t b = ring_[ring_read_];
  ring_read_ = (ring_read_ + 1) % RING_SLOTS;

  if (b == FRAME_MARKER && !in_frame_) {
    frame_length_ = 0;
    in_frame_ = true;
    escaped_ = false;
  }
  // Bytes outside a frame are kept too; the next start marker discards them.
  if (frame_length_ < FRAME_SIZE) frame_[frame_length_++] = b;
  if (!in_frame_) return;

  if (escaped_) {
    escaped_ = false;  // the escaped byte is data, whatever its value
    return;
  }
  if (b == FRAME_ESCAPE) {
    escaped_ = true;
    return;
  }
  if (b == FRAME_MARKER && frame_length_ != 1) {
    in_frame_ = false;  // closed before the decoder runs, so a new frame can start meanwhile
    client_.DecodeAnswer(*this);
  }
}

AnswerClass Exchange::CheckAnswer() {
  last_opcode_ = LastOpcode();
  if (frame_length_ < 2 || frame_[0] != FRAME_MARKER || frame_[1] != FRAME_HEADER) {
    return ANSWER_NONE;
  }
  // A completed frame of two or more bytes with header 0x14 has at least three: byte 2 exists.
  answer_opcode_ = frame_[2];
  if (answer_opcode_ != last_opcode_) return ANSWER_OTHER;
  // Only bytes of this frame are read: one without a status byte is not an executed answer.
  if (frame_length_ >= 4 && frame_[3] == 0 && frame_[frame_length_ - 1] == FRAME_MARKER) {
    return ANSWER_OK;
  }
  return ANSWER_STATUS_ERROR;
}

void Exchange::StopPollTimer() {
  loop_.KillTimer(this, TIMER_POLL);
}

void Exchange::StopAnswerTimer() {
  loop_.KillTimer(this, TIMER_ANSWER);
}

uint16_t Exchange::DecodeFrameCopy() {
  std::memcpy(decoded_, frame_, frame_length_);
  const int removed = Unescape(decoded_, frame_length_);
  decoded_length_ = static_cast<uint16_t>(frame_length_ - removed);
  return decoded_length_;
}
