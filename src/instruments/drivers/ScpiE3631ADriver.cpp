#include "instruments/drivers/InstrumentDrivers.h"
#include "instruments/drivers/SupplyIo.h"

// The E3631A driver stand-in. The output number is selected before each setting, since the
// instrument applies VOLTage and CURRent to the selected output. Voltages are passed as the
// instrument takes them: negative for the -25V output.
namespace {
class ScpiE3631ADriver final : public E3631ADriver {
 public:
  SCPI_SUPPLY_COMMON_OPERATIONS(supply_)

  ViStatus SetVoltage(ViSession vi, ViInt32 output, ViReal64 volts) override {
    if (!ValidOutput(output)) return VI_ERROR_PARAMETER2;
    const E3631AOutput& o = E3631A_OUTPUTS[output];
    if (!SupplyIo::InRange(volts, o.minVolts, o.maxVolts)) return VI_ERROR_PARAMETER3;
    return supply_.io().Send(vi, {supply_.Text(ScpiSupply::SELECT_OUTPUT, {output}),
                                  supply_.Text(ScpiSupply::VOLTAGE, {volts})});
  }

  ViStatus SetCurrentLimit(ViSession vi, ViInt32 output, ViReal64 amps) override {
    if (!ValidOutput(output)) return VI_ERROR_PARAMETER2;
    if (!SupplyIo::InRange(amps, E3631A_OUTPUTS[output].maxAmps)) return VI_ERROR_PARAMETER3;
    return supply_.io().Send(vi, {supply_.Text(ScpiSupply::SELECT_OUTPUT, {output}),
                                  supply_.Text(ScpiSupply::CURRENT, {amps})});
  }

  ViStatus MeasureCurrent(ViSession vi, ViInt32 output, ViReal64* amps) override {
    if (amps) *amps = 0.0;
    if (!ValidOutput(output)) return VI_ERROR_PARAMETER2;
    if (!amps) return VI_ERROR_PARAMETER3;
    return supply_.MeasureCurrent(
        vi, supply_.Text(ScpiSupply::MEASURE_CURRENT, {E3631A_OUTPUTS[output].name}), amps);
  }

  ViStatus OutputOn(ViSession vi, ViBoolean on) override {
    if (on > 1) return VI_ERROR_PARAMETER2;
    return supply_.io().Send(vi, {supply_.Text(ScpiSupply::OUTPUT, {on ? "ON" : "OFF"})});
  }

 private:
  static bool ValidOutput(ViInt32 output) {
    return output >= 1 && output < static_cast<ViInt32>(E3631A_OUTPUTS.size());
  }
  SupplyIo supply_{SCPI_E3631A, {"E3631A", nullptr, nullptr}};
};
}  // namespace

std::shared_ptr<E3631ADriver> MakeScpiE3631ADriver() {
  return std::make_shared<ScpiE3631ADriver>();
}
