#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "instruments/drivers/InstrumentDrivers.h"

// Driver doubles that write every call, with its arguments, into one log ("CellBand(7,1,3)"),
// and return scripted statuses (0 unless a test queued another for that operation).
namespace testing_instruments {

struct CallLog {
  std::vector<std::string> calls;
  std::map<std::string, std::deque<ViStatus>> scripted;
  // Called with an operation's name and status when it takes time (waits for a call).
  std::function<void(const std::string& op, double seconds, ViStatus status)> onWait;
  ViSession handle = 7;          // what the inits hand out
  std::string reply4400 = "42";  // the 4400's query reply
  double real = 0.0;             // readings the doubles hand back
  std::string identity = "TESMIRA-SIM,DOUBLE,0,1";

  // The next status queued for op (0 when none).
  ViStatus Status(const std::string& op);
  void Fail(const std::string& op, ViStatus status, int times = 1);
  void Record(const std::string& op, const std::vector<std::string>& args);
  void Clear() { calls.clear(); }
};

std::string Num(double value);  // as the log prints reals: 947467000, -1.7, 3.8

// Installs the five doubles into Drivers(); they log into log.
void InstallRecordingDrivers(CallLog& log);

// An open test set of the given type (the doubles' handle), working on a DCS sub-band:
// BCH 512, TCH 698, PCL 5 (held plus 100), loss -1.7 dB.
void OpenDcsTestSet(int32_t type, const CallLog& log);

}  // namespace testing_instruments
