#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/Exchange.h"
#include "link/LinkText.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// One window's exchange on an open simulated handset link, with nobody at the far end: shows
// what a line puts on the wire and how a received byte stream is cut into answer frames.
// Used by tesmira-cli (encode, frames) and its tests. Touches the process-wide encoder state,
// exactly as a window does.
struct EncodeReport {
  int result = 0;                // EncResult
  std::vector<uint8_t> payload;  // the request payload (ENC_OK only)
  std::vector<uint8_t> wire;     // the bytes handed to the port, both markers included
};

struct FrameReport {
  std::vector<uint8_t> raw;        // as received, escapes in place
  std::vector<uint8_t> unescaped;  // after Unescape
  int removed = 0;
  AnswerClass answerClass = ANSWER_NONE;
};

class LinkHarness : private ExchangeClient {
 public:
  LinkHarness();

  // SendCommandText, LoadFrame, TransmitFrame, as a window sends a line.
  EncodeReport Encode(std::string_view line);
  // The stream arrives as the far end's bursts would and the poll timer cuts it into frames;
  // each complete frame is classified against lastOpcode.
  std::vector<FrameReport> Receive(const std::vector<uint8_t>& stream, uint8_t lastOpcode);

 private:
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override { ex.StopTimers(); }

  SimLoop loop_;
  SimPort port_;
  Exchange exchange_;
  std::vector<uint8_t> wire_;
  std::vector<FrameReport> frames_;
};

// "ENC_OK", "ENC_COMMENT", "ENC_UNKNOWN".
const char* EncResultName(int result);
// "ENC_OK payload=36 01 00 07 00 30 wire=02 14 36 01 00 07 00 30 02", "ENC_UNKNOWN wire=02 02".
std::string FormatEncodeReport(const EncodeReport& report);
// "frame=<raw> unescaped=<hex> removed=<n> class=<ANSWER_...>".
std::string FormatFrameReport(const FrameReport& report);

// Hex bytes given as separate arguments ("02 14"), joined ("0214") or both; whitespace inside
// an argument separates too. False with a one-line reason for an odd digit count or a non-hex
// character.
bool ParseHexBytes(const std::vector<std::string>& args, std::vector<uint8_t>& out,
                   std::string& error);
