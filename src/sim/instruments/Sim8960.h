#pragma once

#include <array>
#include <string>

#include "sim/Bench.h"
#include "sim/instruments/SimScpiDevice.h"

// The 8960 (E5515B) with its E1960A GSM application, on the bench: the cell it transmits (band,
// BCH, TCH, level at the connector after the path gain SYSTem:CORRection:SGAin is made up
// for), the operating modes (active cell CALL|CELL, where calls are made and the downlink
// function is ignored; TEST, where the downlink function BCH|BCHTCH|CW applies and calls are
// refused), calls to the handset with the set-up time the handset needs, the call-state-change
// detector (armed by CALL:ORIGinate and CALL:END with a fixed 60 s time-out, or by
// CALL:CONNected:ARM with CALL:CONNected:TIMeout; armed, CALL:CONNected:STATe? holds the bus
// until the call reaches connected or idle or the time-out runs out, unarmed it answers at
// once), the handset's TX power seen through the RF path with the same gain taken off, the RX
// level the handset reports, and the RF generator in CW mode feeding the handset's receiver.
namespace sim {

class Sim8960 : public SimScpiDevice {
 public:
  explicit Sim8960(Bench& bench);

  // Busy times of the slower operations (ms).
  static constexpr uint32_t TX_MEASUREMENT_MS = 60;
  static constexpr uint32_t RX_REPORT_MS = 480;  // one SACCH report period
  static constexpr uint32_t RESET_MS = 300;
  // A page the handset never answers ends after this, and the call is idle again.
  static constexpr uint64_t PAGING_MS = 8000;
  static constexpr uint64_t AUTO_ARM_MS = 60000;

 protected:
  std::string Identity() const override;
  std::string OtherIdentity() const override;
  void ResetState() override;
  uint32_t ResetMs() const override;
  bool FaultSilent() const override { return bench_.faults.testSetSilent; }
  bool FaultError() const override { return bench_.faults.testSetError; }
  bool FaultWrongIdentity() const override { return bench_.faults.testSetWrongIdentity; }
  bool FaultClosed() const override { return bench_.faults.testSetClosed; }

 private:
  enum Band { PGSM, EGSM, DCS, PCS, GSM850, BAND_COUNT };
  enum class Downlink { BCH, BCHTCH, CW };

  void AddCallCommands();
  void AddMeasurementCommands();
  void AddGeneratorCommands();
  // Band given as the last header node (…:ARFCn:EGSM) or, without one, the cell's band.
  static bool BandByName(const std::string& name, int* band);
  static bool ArfcnValid(int band, int arfcn);
  static double DownlinkMHz(int band, int arfcn);
  double GainDb() const { return correctionOn_ ? gainDb_ : 0.0; }
  void Push();  // tells the bench what the instrument now transmits

  Bench& bench_;
  int cellBand_ = EGSM;
  int tchBand_ = EGSM;
  std::array<int, BAND_COUNT> bch_{};
  std::array<int, BAND_COUNT> tch_{};
  std::array<int, BAND_COUNT> msTxLevel_{};
  double cellDbm_ = -85.0;
  bool cellOn_ = true;
  double gainDb_ = 0.0;
  bool correctionOn_ = false;
  std::string operatingMode_ = "CALL";
  Downlink downlink_ = Downlink::BCH;
  int generatorBand_ = EGSM;
  double generatorHz_ = 0.0;
  double connectTimeoutS_ = 10.0;
  bool TestMode() const { return operatingMode_ == "TEST"; }
  void Arm(uint64_t timeoutMs);

  bool originated_ = false;
  uint64_t originatedAt_ = 0;
  bool armed_ = false;
  uint64_t armExpiresAt_ = 0;
  bool measurementInitiated_ = false;
};

}  // namespace sim
