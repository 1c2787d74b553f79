#pragma once

#include <cstdint>
#include <vector>

#include "link/Bcommand.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// Far end of a SimPort for exchange tests: reads each request frame and answers it the way a
// test asks (whole, in pieces, twice, for another opcode, with a bad status, or not at all).
class HandsetDouble : public SimFarEnd {
 public:
  using Bytes = std::vector<uint8_t>;
  enum class Reply { ANSWER, PIECES, TWICE, OTHER_OPCODE, BAD_STATUS, SILENT };

  HandsetDouble(SimLoop& loop, SimPort& port) : loop_(loop), port_(port) { port.Attach(this); }

  Reply reply = Reply::ANSWER;
  uint64_t delayMs = 5;       // think time before the answer leaves
  uint64_t pieceGapMs = 60;   // PIECES: between the three pieces, longer than a poll
  int answersLeft = 1000;     // requests after this many stay unanswered
  Bytes data = {0x00, 0x00};  // data bytes after the sub-code

  std::vector<Bytes> requests;  // wire frames as they arrived
  std::vector<uint64_t> requestTimes;

  // 02 14 opcode status sub-code data... check 02, with 0x02 and 0x10 escaped.
  static Bytes AnswerFrame(uint8_t opcode, uint8_t status, uint8_t subCode, const Bytes& data) {
    Bytes body = {opcode, status, subCode};
    body.insert(body.end(), data.begin(), data.end());
    uint8_t check = 0;
    for (uint8_t b : body) check ^= b;
    body.push_back(check);
    Bytes frame = {FRAME_MARKER, FRAME_HEADER};
    for (uint8_t b : body) {
      if (b == FRAME_MARKER || b == FRAME_ESCAPE) frame.push_back(FRAME_ESCAPE);
      frame.push_back(b);
    }
    frame.push_back(FRAME_MARKER);
    return frame;
  }

  void OnStationBytes(const uint8_t* bytes, size_t count) override {
    requests.emplace_back(bytes, bytes + count);
    requestTimes.push_back(loop_.Now());
    if (reply == Reply::SILENT || answersLeft <= 0 || count < 4) return;
    --answersLeft;
    Bytes payload(bytes + 2, bytes + count - 1);
    payload.resize(payload.size() -
                   static_cast<size_t>(Unescape(payload.data(), static_cast<int>(payload.size()))));
    const uint8_t opcode = payload[0];
    const uint8_t subCode = payload.size() > 1 ? payload[1] : 0;

    switch (reply) {
      case Reply::ANSWER:
        Later(0, AnswerFrame(opcode, 0, subCode, data));
        break;
      case Reply::OTHER_OPCODE:
        Later(0, AnswerFrame(static_cast<uint8_t>(opcode + 1), 0, subCode, data));
        break;
      case Reply::BAD_STATUS:
        Later(0, AnswerFrame(opcode, 1, subCode, data));
        break;
      case Reply::TWICE: {
        Bytes both = AnswerFrame(opcode, 0, subCode, data);
        Bytes second = data;
        second.push_back(0x99);
        const Bytes again = AnswerFrame(opcode, 0, subCode, second);
        both.insert(both.end(), again.begin(), again.end());
        Later(0, both);
        break;
      }
      case Reply::PIECES: {
        const Bytes whole = AnswerFrame(opcode, 0, subCode, data);
        const size_t third = whole.size() / 3;
        Later(0, Bytes(whole.begin(), whole.begin() + third));
        Later(pieceGapMs, Bytes(whole.begin() + third, whole.begin() + 2 * third));
        Later(2 * pieceGapMs, Bytes(whole.begin() + 2 * third, whole.end()));
        break;
      }
      case Reply::SILENT:
        break;
    }
  }

 private:
  void Later(uint64_t extraMs, Bytes bytes) {
    loop_.After(delayMs + extraMs, [this, bytes = std::move(bytes)] { port_.DeviceSend(bytes); });
  }

  SimLoop& loop_;
  SimPort& port_;
};
