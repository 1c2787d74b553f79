#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The simulated bench's world model: one handset unit drawn from a seed (its radio, battery ADC,
// EEPROM and identity), the RF paths with their physical losses, what the test set transmits
// (cell, CW tone), the supply's output and the current the handset draws. Every simulated
// device reads and moves this one model. Time comes from the clock given at construction
// (SimLoop in virtual-time runs, the steady clock in tesmira-bench).
namespace sim {

// Fault switches; a test sets them directly.
struct BenchFaults {
  // Handset
  bool silentHandset = false;  // answers nothing
  int badStatusOpcode = -1;    // this opcode is answered with a non-zero status
  bool wrongOpcode = false;    // answers carry another opcode
  bool garbageBetweenFrames = false;
  bool batteryNeverSettles = false;
  // Handset identity (sim/HandsetIdentityCommands.cpp)
  bool imeiWriteLost = false;    // "stw 60" answered but nothing stored
  bool swVersionSilent = false;  // "str 10" not answered
  // Instruments (test set at its address, supply at its address)
  bool testSetSilent = false;
  bool testSetError = false;  // every command leaves an error in the queue
  bool testSetWrongIdentity = false;
  bool testSetClosed = false;  // its far end closed the connection: transfers and opens fail
  bool supplySilent = false;
  bool supplyError = false;
  bool supplyWrongIdentity = false;
  bool supplyClosed = false;
};

struct HandsetUnit;  // the drawn parameters (sim/HandsetUnit.h)

// Which part of a drawn unit lies outside what calibration can correct.
enum class UnitDefect { NONE, TX, RX, GMAGIC, BATTERY };

class Bench {
 public:
  using Clock = std::function<uint64_t()>;  // ms

  Bench(uint64_t seed, Clock clock);
  ~Bench();

  uint64_t NowMs() const;
  uint64_t Seed() const;
  BenchFaults faults;

  // The unit in the jig. NewUnit draws the next handset (fresh EEPROM); units are a
  // deterministic sequence for the bench's seed. ForceDefect makes the current unit bad.
  void NewUnit();
  int UnitIndex() const;
  void ForceDefect(UnitDefect defect);
  UnitDefect Defect() const;

  // Jig and supply. Instruments push their output state; the current is what the handset draws
  // (about 0.1-0.3 A in the jig and powered, under 0.01 A when removed).
  void InsertHandset(bool inserted);
  bool HandsetInserted() const;
  void SetSupplyOutput(double volts, double currentLimitA, bool outputOn);
  double SupplyVolts() const;
  bool SupplyOutputOn() const;
  double SupplyCurrentA();  // with small noise

  // Test set, TX side: power in dBm arriving at the test set's RF input from the handset's
  // transmission on uplink ARFCN arfcn (physical path loss applied, plus the measurement
  // scatter when one is set); NaN when the handset is not transmitting there.
  double TxPowerAtTestSetDbm(int arfcn);
  // Repeatability scatter of that reading: Gaussian with this sigma, never beyond 0.05 dB.
  // Off by default: the test set is the reference the calibration is judged against.
  void SetTxMeasurementScatter(double sigmaDb);
  double TxMeasurementLimitDb() const;  // the largest error a reading can carry now

  // Test set, RX side: the downlink cell (band code 2/3, channels, output level in dBm at the
  // test set's connector) and the call.
  void SetCell(int bandCode, int bchArfcn, int tchArfcn, double levelDbm, bool on);
  void SetMsTxLevel(int pcl);
  void OriginateCall();  // either side; joins a set-up already under way
  void EndCall();
  bool CallConnected();         // a call set up by now (takes a few seconds)
  uint64_t CallConnectsAtMs();  // when a pending set-up completes; 0 when it never will
  // RX level the handset reports to the test set (0..63), NaN without a connected call.
  double MsReportedRxLevel();

  // CW generator of the test set (frequency in Hz, level in dBm at its connector).
  void SetCwGenerator(double frequencyHz, double levelDbm, bool on);

  // Physical loss of the RF path (dB, positive) at a frequency.
  double PathLossDb(double frequencyMHz) const;

  // Truth, for yield and accuracy reports.
  double TrueTxPowerDbm(int bandCode, int subBand, int apcDac) const;  // at the antenna
  double RxReportAt(int arfcn, double dbmAtAntenna) const;  // with the correction stored now
  double TrueGmagic(int bandCode) const;
  int StoredGmagic(int bandCode) const;
  double TrueBatteryAdc(double volts) const;  // settled reading

  // The handset's own state, for the handset simulator.
  struct Handset;
  Handset& handset();

  // --- Added for the handset simulator and the tools around it. ---

  // Share of units drawn by NewUnit with a random defect (0 by default: every unit good).
  void SetDefectRate(double rate);
  const HandsetUnit& Unit() const;

  // Powered (in the jig, supply on at 3.0 V or more) and finished booting.
  bool HandsetPowered() const;
  bool HandsetReady() const;
  // Restarts the handset ("se 300"): RAM state lost, deaf while it boots.
  void RestartHandset();
  static constexpr uint64_t BOOT_MS = 1500;
  // Signalling mode ("se 100"/"se 101"); leaving it drops a call.
  void SetSignalling(bool on);

  // Readings of the handset's own receiver, on the channel it listens to now (test mode: the
  // "se 30" channel or the "rfpw 2" channel; in a call the call's channel).
  double HandsetInputDbm();       // at its antenna; the noise floor when nothing arrives
  double HandsetPowerReport();    // "sr" power value (GMAGIC report), with noise
  double HandsetRxLevelReport();  // "sr" RX level, 0..63 in 0.5 steps
  int BatteryAdcReading();        // "spr 54", with noise and settling
  // The antenna power the handset transmits now and where; NaN / 0 when it does not.
  double HandsetTxDbm(int* arfcn = nullptr);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace sim
