#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/visa/SimDevice.h"
#include "sim/instruments/SimScpiParser.h"

// The common part of the simulated SCPI instruments: the command table, the error queue
// (SYSTem:ERRor? gives `-113,"Undefined header"` ... `+0,"No error"`), the standard event
// register, *IDN?, *RST, *CLS, *OPC?, *ESR?, replies of one message joined by ';' into one
// line, a reply not read before the next message is dropped (-410, as IEEE 488.2 has it),
// and the instrument faults of the bench: no answer, an error after every command,
// another instrument's identity, a connection closed by the instrument.
namespace sim {

class SimScpiDevice : public visa::SimDevice {
 public:
  uint32_t Write(const std::string& message) override;
  std::optional<std::string> Read() override;
  bool Closed() const override { return FaultClosed(); }

  // The error queue as it stands (tests).
  size_t ErrorCount() const { return errors_.size(); }

 protected:
  // What one program unit sees while it runs.
  class Request {
   public:
    const std::vector<std::string>& args() const { return args_; }
    // Argument i as a number / ON|OFF|1|0 / upper-case word; false (and the matching SCPI
    // error queued) when it is missing or of another kind.
    bool Real(size_t i, double* value);
    bool Bool(size_t i, bool* value);
    bool Word(size_t i, std::string* value);
    bool NoArgs();  // -108 when arguments were given
    void Reply(std::string text) { replies_.push_back(std::move(text)); }
    void Busy(uint32_t ms) { busyMs_ += ms; }
    void Error(int code, const char* text) { device_.PushError(code, text); }

   private:
    friend class SimScpiDevice;
    Request(SimScpiDevice& device, std::vector<std::string> args)
        : device_(device), args_(std::move(args)) {}
    SimScpiDevice& device_;
    std::vector<std::string> args_;
    std::vector<std::string> replies_;
    uint32_t busyMs_ = 0;
  };
  using Handler = std::function<void(Request&)>;

  SimScpiDevice();
  void Command(std::string_view pattern, Handler handler);
  void PushError(int code, const char* text);

  virtual std::string Identity() const = 0;
  virtual std::string OtherIdentity() const = 0;  // the wrong-identity fault
  virtual void ResetState() = 0;                  // *RST
  virtual uint32_t ResetMs() const { return 0; }  // how long *RST keeps it busy
  virtual bool FaultSilent() const = 0;
  virtual bool FaultError() const = 0;
  virtual bool FaultWrongIdentity() const = 0;
  virtual bool FaultClosed() const = 0;

  // Replies as the instruments print numbers.
  static std::string Nr3(double value);  // 9.91E+37 for NaN
  static std::string Nr1(long value);

 private:
  struct Entry {
    ScpiPattern pattern;
    Handler handler;
  };
  static constexpr size_t ERROR_QUEUE_SIZE = 30;

  std::vector<Entry> commands_;
  std::deque<std::pair<int, std::string>> errors_;
  std::deque<std::string> output_;
  uint8_t esr_ = 0;
};

}  // namespace sim
