#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/SimDevice.h"
#include "sim/SimLoop.h"
#include "sim/bench/servers/BusInstrument.h"

namespace sim {

// The command side of a simulated Prologix GPIB controller (GPIB-ETHERNET or GPIB-USB), in
// front of instruments at their GPIB addresses; the host link (TCP, a pseudo-terminal) feeds it
// bytes and carries what it sends. Host input is one line per command or data message:
// unescaped CR or LF ends it, ESC takes the next byte literally, and a line starting with an
// unescaped "++" is an adapter command. Data goes to the instrument at ++addr with the ++eos
// terminator and EOI on its last byte (++eoi 1); ++read eoi passes the instrument's reply up
// to END (++eot_enable adds ++eot_char there), ++auto 1 reads after every data message. A read
// waits at most ++read_tmo_ms for the instrument and ends early when the host sends anything.
// A busy instrument holds the adapter (GPIB handshake) until it is done. Its defaults are the
// factory ones the station must not rely on: ++eos 0 (CR LF appended) and ++savecfg 1.
class PrologixSim {
 public:
  struct Settings {
    int mode = 1;
    int pad = 10;
    int sad = -1;
    bool autoRead = false;
    bool eoi = true;
    int eos = 0;
    bool eotEnable = false;
    int eotChar = 0;
    int readTmoMs = 500;
    bool saveConfig = true;
  };

  PrologixSim(SimLoop& loop, std::string version);
  ~PrologixSim();
  PrologixSim(const PrologixSim&) = delete;
  PrologixSim& operator=(const PrologixSim&) = delete;

  void AddInstrument(int pad, std::shared_ptr<visa::SimDevice> device);
  // A new host link: line assembly starts afresh, the settings stay.
  void Reset();
  void Feed(const char* data, size_t size);

  std::function<void(const std::string& bytes)> send;
  std::function<void()> hangUp;  // the adapter closes the host link

  Settings settings;
  // Every adapter command line received, for tests ("++addr 4", ...).
  std::vector<std::string> commands;
  // Counts writes to the adapter's configuration memory (++savecfg 1 and a setting changed).
  int eepromWrites = 0;
  // Test switch: the next reply is cut in the middle and the host link closed.
  bool hangUpMidReply = false;

 private:
  struct Line {
    std::string text;
    bool command = false;
  };
  void Process();
  void Command(const std::string& line);
  void Data(const std::string& data);
  void StartRead(int stopChar);
  void ContinueRead();
  void EndRead();
  void Reply(const std::string& text);
  void Changed();
  BusInstrument* Addressed();

  SimLoop& loop_;
  std::string version_;
  std::map<int, std::unique_ptr<BusInstrument>> instruments_;
  // Line assembly.
  std::string text_;
  bool escape_ = false;
  size_t plainPluses_ = 0;  // leading '+' not escaped
  bool lineStarted_ = false;
  std::deque<Line> lines_;
  // A line waiting for a busy instrument, or a read in progress.
  bool held_ = false;
  bool reading_ = false;
  int readStop_ = -1;
  uint64_t readDeadline_ = 0;
  uint64_t generation_ = 0;  // cancels scheduled continuations
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sim
