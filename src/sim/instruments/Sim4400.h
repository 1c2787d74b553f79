#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sim/Bench.h"
#include "sim/SimRandom.h"
#include "sim/instruments/SimScpiDevice.h"

// The 4400 GSM tester on the bench, speaking the SCPI its driver sends: system selection
// (:CONF:CSYS NONE|GSM|GEN|GPRS, ready bit 0x1000 of :STAT:OPER:COND? some time later), the
// coupling table that makes up for the RF path (only "viable.cpl" exists on this tester; it
// holds the bench's physical losses), the RF generator (a CW tone into the handset's receiver),
// the signalling cell and the call (bit 4 of :STAT:OPER:SIGN:COND? while connected), the
// handset's TX power and modulation quality seen through the path, and the RX level the handset
// reports. The set-ups of the other families (cell identity, analyser ranges, spectrum, audio,
// BER, GPRS, template limits, clock) are accepted and remembered, not simulated.
//
// Array measurements (":MEAS:ARR:RFTX:POW? <n>") take n results and keep their statistics for
// CALC:MAV?/MMIN?/MMAX?; like the tester's driver expects, they answer nothing themselves.
namespace sim {

class Sim4400 : public SimScpiDevice {
 public:
  explicit Sim4400(Bench& bench);

  static constexpr const char* RESOURCE = "GPIB0::4::INSTR";
  static constexpr const char* COUPLING_TABLE = "viable.cpl";
  // How long a newly selected system takes to report ready (ms).
  static constexpr uint64_t GSM_START_MS = 2500;
  static constexpr uint64_t GEN_START_MS = 300;
  static constexpr uint64_t GPRS_START_MS = 3000;
  // Busy times (ms).
  static constexpr uint32_t RESET_MS = 200;
  static constexpr uint32_t TX_MEASUREMENT_MS = 40;  // one burst, averaged
  static constexpr uint32_t COUPLING_LOAD_MS = 50;

 protected:
  std::string Identity() const override;
  std::string OtherIdentity() const override;
  void ResetState() override;
  uint32_t ResetMs() const override { return RESET_MS; }
  bool FaultSilent() const override { return bench_.faults.testSetSilent; }
  bool FaultError() const override { return bench_.faults.testSetError; }
  bool FaultWrongIdentity() const override { return bench_.faults.testSetWrongIdentity; }
  bool FaultClosed() const override { return bench_.faults.testSetClosed; }

 private:
  enum class System { NONE, GSM, GEN, GPRS };
  struct Statistics {
    double average = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    bool valid = false;
  };

  void AddSystemCommands();
  void AddGeneratorCommands();
  void AddCellCommands();
  void AddMeasurementCommands();
  void AddAcceptedSettings();
  bool SystemReady() const;
  double CouplingLossDb(double frequencyMHz) const;
  // The uplink channel the analyser looks at: the TCH in signalling, the analyser frequency
  // with the generator system; -1 for none.
  int MeasuredArfcn() const;
  double MeasureTxPower();  // dBm with the coupling loss made up for; NaN without a signal
  void Push();              // tells the bench what the tester transmits now

  Bench& bench_;
  SimRandom noise_;  // modulation quality results
  System system_ = System::NONE;
  uint64_t systemSince_ = 0;
  std::string gsmType_ = "GSM9001800";
  bool couplingOn_ = false;
  std::string couplingName_;
  // RF generator
  bool generatorOn_ = false;
  double generatorHz_ = 0.0;
  double generatorDbm_ = -60.0;
  std::string modulation_ = "GMSK";
  std::string signalType_ = "BURS";
  // Analyser
  double analyserHz_ = 0.0;
  // Signalling cell
  double cellDbm_ = -60.0;
  int bch_ = 20;
  int tch_ = 62;
  int pcl_ = 5;
  int timeslot_ = 2;
  // Last results: single measurements by quantity, array statistics of the last array.
  std::map<std::string, double> results_;
  Statistics statistics_;
  // Accepted settings of the families not simulated, by header.
  std::map<std::string, std::string> settings_;
};

}  // namespace sim
