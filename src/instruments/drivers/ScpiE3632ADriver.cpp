#include "instruments/drivers/InstrumentDrivers.h"
#include "instruments/drivers/SupplyIo.h"

// The E3632A/E3633A driver stand-in (one output; either model answers the identity check).
namespace {
class ScpiE3632ADriver final : public E3632ADriver {
 public:
  SCPI_SUPPLY_COMMON_OPERATIONS(supply_)

  ViStatus SetVoltage(ViSession vi, ViReal64 volts) override {
    if (!SupplyIo::InRange(volts, E3632A_MAX_VOLTS)) return VI_ERROR_PARAMETER2;
    return supply_.io().Send(vi, {supply_.Text(ScpiSupply::VOLTAGE, {volts})});
  }

  ViStatus SetCurrentLimit(ViSession vi, ViReal64 amps) override {
    if (!SupplyIo::InRange(amps, E3632A_MAX_AMPS)) return VI_ERROR_PARAMETER2;
    return supply_.io().Send(vi, {supply_.Text(ScpiSupply::CURRENT, {amps})});
  }

  ViStatus MeasureCurrent(ViSession vi, ViReal64* amps) override {
    if (!amps) return VI_ERROR_PARAMETER2;
    return supply_.MeasureCurrent(vi, supply_.Text(ScpiSupply::MEASURE_CURRENT), amps);
  }

  ViStatus OutputOn(ViSession vi, ViBoolean on) override {
    if (on > 1) return VI_ERROR_PARAMETER2;
    return supply_.io().Send(vi, {supply_.Text(ScpiSupply::OUTPUT, {on ? "ON" : "OFF"})});
  }

 private:
  SupplyIo supply_{SCPI_E3632A, {"E3632A", "E3633A", nullptr}};
};
}  // namespace

std::shared_ptr<E3632ADriver> MakeScpiE3632ADriver() {
  return std::make_shared<ScpiE3632ADriver>();
}
