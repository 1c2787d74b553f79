#pragma once

#include <string>
#include <vector>

#include "sim/Bench.h"
#include "sim/instruments/SimScpiDevice.h"

// A bench supply on the bench: E3631A (three outputs; output 1, P6V, feeds the jig),
// E3632A, E3633A or 66311B. Its voltage, current limit and output state go to the bench; the
// current it measures is what the handset draws.
namespace sim {

enum class SupplyModel { E3631A, E3632A, E3633A, HP66311B };

// "3631A", "E3631A", "3632A", "3633A", "66311B" (any case); false for anything else.
bool SupplyModelByName(const std::string& name, SupplyModel* model);
const char* SupplyModelName(SupplyModel model);

class SimSupply : public SimScpiDevice {
 public:
  SimSupply(Bench& bench, SupplyModel model);

  static constexpr uint32_t MEASUREMENT_MS = 40;

  // The front panel: the jig's output set to volts and a current limit of amps and switched
  // on, or switched off (its settings kept).
  void FrontPanelOutput(bool on, double volts, double amps);
  const char* ModelName() const { return SupplyModelName(model_); }

 protected:
  std::string Identity() const override;
  std::string OtherIdentity() const override;
  void ResetState() override;
  bool FaultSilent() const override { return bench_.faults.supplySilent; }
  bool FaultError() const override { return bench_.faults.supplyError; }
  bool FaultWrongIdentity() const override { return bench_.faults.supplyWrongIdentity; }
  bool FaultClosed() const override { return bench_.faults.supplyClosed; }

 private:
  struct Output {
    const char* name;
    double minVolts;  // the E3631A's -25V output is programmed 0 to -25.75 V
    double maxVolts;
    double maxAmps;
    double volts = 0.0;
    double amps = 0.0;
  };

  bool OutputByName(const std::string& name, size_t* index) const;
  bool SetVoltage(Request& r, size_t output, double volts);
  bool SetCurrent(Request& r, size_t output, double amps);
  double MeasuredAmps(size_t output);
  void Push();

  Bench& bench_;
  SupplyModel model_;
  std::vector<Output> outputs_;
  size_t selected_ = 0;
  bool on_ = false;
};

}  // namespace sim
