#include "sim/LinkHarness.h"

#include <cctype>

#include "link/Bcommand.h"

namespace {
constexpr int HANDSET_PORT = 1;
constexpr uint32_t HANDSET_BAUD = 115200;
constexpr uint32_t ANSWER_TIMEOUT_MS = 3000;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

LinkHarness::LinkHarness() : port_(loop_), exchange_(loop_, port_, *this, ANSWER_TIMEOUT_MS) {
  port_.Open(HANDSET_PORT, HANDSET_BAUD);
  port_.SetOwner(&exchange_);
  exchange_.onWire = [this](const uint8_t* wire, size_t count) {
    wire_.assign(wire, wire + count);
  };
}

EncodeReport LinkHarness::Encode(std::string_view line) {
  EncodeReport report;
  wire_.clear();
  port_.Purge();
  report.result = SendCommandText(line);
  exchange_.LoadFrame();
  if (report.result == ENC_OK && exchange_.SendLength() > 0) {
    // The pending frame is the header byte and the escaped payload.
    report.payload.assign(exchange_.SendBuffer() + 1,
                          exchange_.SendBuffer() + exchange_.SendLength());
    const int removed = Unescape(report.payload.data(), static_cast<int>(report.payload.size()));
    report.payload.resize(report.payload.size() - static_cast<size_t>(removed));
  }
  exchange_.TransmitFrame();
  exchange_.StopTimers();  // no answer is coming
  report.wire = wire_;
  return report;
}

std::vector<FrameReport> LinkHarness::Receive(const std::vector<uint8_t>& stream,
                                              uint8_t lastOpcode) {
  frames_.clear();
  Encoder().lastOpcode = lastOpcode;
  exchange_.Reset();
  loop_.SetTimer(&exchange_, TIMER_POLL, POLL_PERIOD_MS);
  port_.DeviceSend(stream);
  // Long enough for the last byte to cross the line and one more poll to drain the ring.
  const uint64_t wireMs = (port_.WireTimeUs(stream.size()) + 999) / 1000;
  loop_.RunFor(wireMs + 2 * POLL_PERIOD_MS);
  exchange_.StopTimers();
  return std::move(frames_);
}

void LinkHarness::DecodeAnswer(Exchange& ex) {
  FrameReport report;
  report.answerClass = ex.CheckAnswer();
  report.raw.assign(ex.Frame(), ex.Frame() + ex.FrameLength());
  const uint16_t decoded = ex.DecodeFrameCopy();
  report.unescaped.assign(ex.Decoded(), ex.Decoded() + decoded);
  report.removed = static_cast<int>(report.raw.size() - report.unescaped.size());
  frames_.push_back(std::move(report));
}

const char* EncResultName(int result) {
  switch (result) {
    case ENC_UNKNOWN:
      return "ENC_UNKNOWN";
    case ENC_COMMENT:
      return "ENC_COMMENT";
    case ENC_OK:
      return "ENC_OK";
  }
  return "ENC_UNKNOWN";
}

std::string FormatEncodeReport(const EncodeReport& report) {
  std::string line = EncResultName(report.result);
  if (report.result == ENC_OK) line += " payload=" + HexText(report.payload);
  line += " wire=" + HexText(report.wire);
  return line;
}

std::string FormatFrameReport(const FrameReport& report) {
  return "frame=" + HexText(report.raw) + " unescaped=" + HexText(report.unescaped) +
         " removed=" + std::to_string(report.removed) +
         " class=" + AnswerClassName(report.answerClass);
}

bool ParseHexBytes(const std::vector<std::string>& args, std::vector<uint8_t>& out,
                   std::string& error) {
  out.clear();
  for (const std::string& arg : args) {
    size_t i = 0;
    while (i < arg.size()) {
      if (std::isspace(static_cast<unsigned char>(arg[i]))) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < arg.size() && !std::isspace(static_cast<unsigned char>(arg[end]))) ++end;
      const std::string group = arg.substr(i, end - i);
      for (char c : group) {
        if (HexDigit(c) < 0) {
          error = "not a hex byte: '" + group + "'";
          return false;
        }
      }
      if (group.size() % 2 != 0) {
        error = "odd number of hex digits: '" + group + "'";
        return false;
      }
      for (size_t j = 0; j < group.size(); j += 2) {
        out.push_back(static_cast<uint8_t>(HexDigit(group[j]) * 16 + HexDigit(group[j + 1])));
      }
      i = end;
    }
  }
  return true;
}
