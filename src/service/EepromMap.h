#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "link/Exchange.h"
#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"

// The EEPROM map viewer: dumps the first 2560 bytes of the handset's EEPROM in 64-byte blocks
// ("spw 55 <address>" sets the read address, "str 55" reads the block), one list line per byte,
// and appends every block to "Eepresult.txt" as one record.

constexpr uint32_t EEPROM_MAP_TIMEOUT_MS = 3000;
constexpr const char* EEPROM_MAP_TITLE = "EEPROM MAP";
constexpr const char* EEPROM_RESULT_FILE = "Eepresult.txt";
constexpr const char* EEPROM_READING_END = "reading End";
constexpr const char* EEPROM_COMM_ERROR = "serial comm error";
constexpr int EEPROM_BLOCK_BYTES = 64;
constexpr int EEPROM_DUMP_BYTES = 2560;

// "%d -> 0x%x, %c": "130 -> 0x41, A"; a zero byte ends the line ("7 -> 0x0, ").
std::string EepromLine(int address, uint8_t byte);

class EepromMapView {
 public:
  virtual ~EepromMapView() = default;
  virtual void InsertLine(int position, const std::string& text) = 0;
  virtual void ClearLines() = 0;
};

class EepromMap : private ExchangeClient {
 public:
  EepromMap(EventLoop& loop, Port& port, Notifier& notifier, EepromMapView& view,
            std::string resultPath = EEPROM_RESULT_FILE);

  void OnInit();
  void TakePort();

  void Read();   // "READ": nothing on a closed link
  void Clear();  // "CLEAR": list empty, counter 0; a dump under way ends here

  int Counter() const { return counter_; }
  // A dump is under way: from "READ" until "reading End", a time-out, "CLEAR" or the loss of
  // the port.
  bool Reading() const { return reading_; }
  // Blocks listed but not yet in the result file (it could not be written); each goes out,
  // in order, before the next block's record.
  size_t UnwrittenRecords() const { return unwritten_.size(); }

  Exchange& GetExchange() { return exchange_; }

 private:
  void SendAddress();
  void Send(const std::string& line);
  void ListBlock(const uint8_t* data);
  void WriteRecords();
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;
  void OnPortLost(Exchange& ex) override;

  Port& port_;
  Notifier& notifier_;
  EepromMapView& view_;
  std::string result_path_;
  Exchange exchange_;
  int counter_ = 0;
  bool reading_ = false;
  bool file_error_told_ = false;  // once per dump
  std::deque<std::string> unwritten_;
};
