#include "service/EepromMap.h"

#include <cstdio>

#include "platform/AppendFile.h"

namespace {

constexpr uint8_t OPCODE_SPW = 0x50;
constexpr uint8_t OPCODE_STR = 0x53;
constexpr uint8_t EEPROM_TABLE = 55;
// Marker, header, opcode, status, sub-code before the data; check byte and marker after it.
constexpr uint16_t FRAME_OVERHEAD = 7;

}  // namespace

std::string EepromLine(int address, uint8_t byte) {
  char text[48];
  std::snprintf(text, sizeof text, "%d -> 0x%x, ", address, byte);
  std::string line = text;
  if (byte != 0) line.push_back(static_cast<char>(byte));
  return line;
}

EepromMap::EepromMap(EventLoop& loop, Port& port, Notifier& notifier, EepromMapView& view,
                     std::string resultPath)
    : port_(port),
      notifier_(notifier),
      view_(view),
      result_path_(std::move(resultPath)),
      exchange_(loop, port, *this, EEPROM_MAP_TIMEOUT_MS) {}

void EepromMap::OnInit() {
  exchange_.Reset();
  TakePort();
}

void EepromMap::TakePort() {
  port_.SetOwner(&exchange_);
}

void EepromMap::Read() {
  if (!port_.IsOpen()) return;
  reading_ = true;
  file_error_told_ = false;
  SendAddress();
}

void EepromMap::Clear() {
  view_.ClearLines();
  counter_ = 0;
  // The block in flight belongs to the cleared list: it is let in and dropped, not listed
  // under address 0.
  if (reading_) exchange_.StopAnswerTimer();
  reading_ = false;
}

void EepromMap::SendAddress() {
  Send("spw 55 " + std::to_string(counter_));
}

void EepromMap::Send(const std::string& line) {
  if (!exchange_.Send(line)) reading_ = false;  // the link was closed under the dump
}

void EepromMap::ListBlock(const uint8_t* data) {
  std::string record = "\r\n";
  for (int i = 0; i < EEPROM_BLOCK_BYTES; ++i) {
    const std::string line = EepromLine(counter_, data[i]);
    view_.InsertLine(counter_, line);
    ++counter_;
    record += line;
    record += "\r\n";
  }
  unwritten_.push_back(std::move(record));
  WriteRecords();
}

void EepromMap::WriteRecords() {
  while (!unwritten_.empty()) {
    const std::string error = AppendRecord(result_path_, unwritten_.front());
    if (!error.empty()) {
      if (!file_error_told_) {
        file_error_told_ = true;
        notifier_.Message(error +
                          "\nThe list keeps every line; the file gets them once it can be "
                          "written again.");
      }
      return;
    }
    unwritten_.pop_front();
  }
}

void EepromMap::DecodeAnswer(Exchange& ex) {
  switch (ex.CheckAnswer()) {
    case ANSWER_OTHER:
      ex.StopAnswerTimer();
      return;
    case ANSWER_STATUS_ERROR:  // "serial comm error" follows on the time-out
    case ANSWER_NONE:
      return;
    case ANSWER_OK:
      break;
  }
  ex.StopTimers();
  const uint16_t length = ex.DecodeFrameCopy();
  if (!reading_ || length < 5) return;
  const uint8_t* frame = ex.Decoded();
  if (frame[4] != EEPROM_TABLE) return;
  if (frame[2] == OPCODE_SPW) {
    Send("str 55");
  } else if (frame[2] == OPCODE_STR) {
    // A block shorter than 64 bytes is not listed: its lines would carry bytes that never came.
    if (length < FRAME_OVERHEAD + EEPROM_BLOCK_BYTES) {
      reading_ = false;
      notifier_.Message(EEPROM_COMM_ERROR);
      return;
    }
    ListBlock(frame + 5);
    if (counter_ > EEPROM_DUMP_BYTES - 1) {
      reading_ = false;
      notifier_.Message(EEPROM_READING_END);
    } else {
      SendAddress();
    }
  }
}

// The dump ends where it is: the listed blocks stay (and go on to the file), the port has told
// the operator, and no "serial comm error" follows for a device that is gone.
void EepromMap::OnPortLost(Exchange& /*ex*/) {
  reading_ = false;
}

void EepromMap::OnAnswerTimeout(Exchange& ex) {
  ex.StopTimers();
  reading_ = false;
  notifier_.Message(EEPROM_COMM_ERROR);
}
