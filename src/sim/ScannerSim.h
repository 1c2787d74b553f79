#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimLoop.h"
#include "sim/SimPort.h"

// The bench's barcode scanner: codes to hand out and what goes wrong with the next reads.
namespace sim {

enum class ScannerFault {
  NONE,
  SILENT,        // answers nothing
  NG,            // "BCLR\r" answered "NG" CR
  G1_CODE,       // the code read starts "G1"
  SHORT_LINE,    // 14 characters and CR
  LETTER_FIRST,  // 15 characters, the first a letter
  NO_CR,         // 15 characters without their CR
};

// "none", "silent", "ng", "g1", "short", "letter", "no-cr"; false for an unknown name.
bool ParseScannerFault(const std::string& name, ScannerFault* fault);
const char* ScannerFaultName(ScannerFault fault);

struct ScannerModel {
  explicit ScannerModel(uint64_t seed = 1) : seed(seed) {}

  std::deque<std::string> codes;  // handed out in order, one per read
  ScannerFault fault = ScannerFault::NONE;
  uint64_t seed;
  int generated = 0;                   // codes made up once the list ran out
  std::vector<std::string> commands;   // every command received, without its CR
  std::vector<std::string> handedOut;  // every code line sent, as sent
  std::function<void(const std::string& command)> onCommand;  // each command as it arrives

  // The code the next read gives: the list's first, else a made-up IMEI of 15 digits with its
  // Luhn check digit, different for every read and seed.
  std::string NextCode() const;
  std::string TakeCode();
};

// The 15th digit of an IMEI body of 14 digits, by the Luhn rule.
char ImeiCheckDigit(const std::string& body14);

}  // namespace sim

// What hosts the simulated scanner: its line toward the station and a clock.
class ScannerLink {
 public:
  virtual ~ScannerLink() = default;
  virtual void Transmit(std::vector<uint8_t> bytes) = 0;  // the host adds the wire time
  virtual void After(uint64_t delayMs, std::function<void()> fn) = 0;
};

// The scanner's side of its serial protocol: CR-terminated commands "BCLR" (answered "OK" CR),
// "LON" (a code read a little later: 15 characters and CR), "LOFF" (reading stops, a read in
// progress gives nothing). Anything else is ignored, as the scanner ignores noise.
class ScannerSim : public SimFarEnd {
 public:
  static constexpr uint32_t ANSWER_MS = 10;  // "OK" after "BCLR"
  static constexpr uint32_t READ_MS = 250;   // aiming and decoding after "LON"

  ScannerSim(sim::ScannerModel& model, ScannerLink& link);
  ~ScannerSim() override;
  ScannerSim(const ScannerSim&) = delete;
  ScannerSim& operator=(const ScannerSim&) = delete;

  void OnStationBytes(const uint8_t* data, size_t count) override;

  std::vector<std::string> commands;   // every command received, without its CR
  std::vector<std::string> handedOut;  // every code line sent, as sent
  std::function<void(const std::string& code)> onCode;

 private:
  void OnCommand(const std::string& command);
  void Send(const std::string& text, uint32_t delayMs);

  sim::ScannerModel& model_;
  ScannerLink& link_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::string line_;
  bool reading_ = false;
  uint64_t read_generation_ = 0;
};

// The scanner on a SimPort in virtual time: attaches itself as the port's far end.
class SimPortScanner : private ScannerLink {
 public:
  SimPortScanner(SimLoop& loop, SimPort& port, sim::ScannerModel& model);
  ~SimPortScanner() override;
  ScannerSim& scanner() { return sim_; }

 private:
  void Transmit(std::vector<uint8_t> bytes) override { port_.DeviceSend(bytes); }
  void After(uint64_t delayMs, std::function<void()> fn) override {
    loop_.After(delayMs, std::move(fn));
  }

  SimLoop& loop_;
  SimPort& port_;
  ScannerSim sim_;
};

// A scanner port with its scanner: what the identity window gets as its COM2 in virtual time.
// The model outlives the port (a window deletes its scanner port when it closes).
class SimScannerPort : public SimPort {
 public:
  SimScannerPort(SimLoop& loop, sim::ScannerModel& model)
      : SimPort(loop), far_end_(std::make_unique<SimPortScanner>(loop, *this, model)) {}
  ~SimScannerPort() override { far_end_.reset(); }
  ScannerSim& scanner() { return far_end_->scanner(); }

 private:
  std::unique_ptr<SimPortScanner> far_end_;
};
