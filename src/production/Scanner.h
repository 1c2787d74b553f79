#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"
#include "production/ScannerLine.h"

// The scanner side of the serial port object: commands to the barcode scanner and the
// classification of its answer line. Works on any Port in queue mode (CComm on COM2 in the
// station, SimPort in tests); the caller switches queue mode around each exchange.
class Scanner {
 public:
  static constexpr int PORT_NUMBER = 2;
  static constexpr uint32_t BAUD = 9600;
  static constexpr int ATTEMPTS = 3;
  static constexpr size_t SEND_BUFFER_SIZE = 16;

  Scanner(EventLoop& loop, Port& port, Notifier& notifier);

  // Writes the command up to three times, each followed by a full wait of waitMs (the loop's
  // messages dispatched meanwhile), until the reader raised ArrivedFlag; then classifies the
  // line. True only for a complete line that counts as success. What was queued before the
  // command is discarded first: it answered something else.
  bool SendScannerCommand(const char* text, size_t count, uint32_t waitMs);
  // Takes the queued bytes as one line into the scanner text; false unless it is a success.
  bool ParseScannerLine();

  const std::string& ScannerText() const { return text_; }
  void ClearScannerText() { text_.clear(); }
  size_t LineLength() const { return line_length_; }
  ScannerLineKind LastKind() const { return last_kind_; }
  bool QuitAsked() const { return quit_; }  // a wait ended because the program is closing
  // Asked during every wait: true ends the exchange at once as a quit does (its window went
  // away, the handset's port was lost).
  void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }

  Port& GetPort() { return port_; }

 private:
  EventLoop& loop_;
  Port& port_;
  Notifier& notifier_;
  uint8_t send_buffer_[SEND_BUFFER_SIZE] = {};
  size_t send_count_ = 0;
  std::string text_;
  size_t line_length_ = 0;
  ScannerLineKind last_kind_ = ScannerLineKind::OTHER;
  bool quit_ = false;
  std::function<bool()> stop_;
};

// The scanner's commands.
extern const char SCANNER_BCLR[];  // "BCLR\r": clear its buffer, answered "OK" CR
extern const char SCANNER_LON[];   // "LON\r": read a code
extern const char SCANNER_LOFF[];  // "LOFF\r": stop reading, not answered
constexpr uint32_t SCANNER_WAIT_MS = 1000;
