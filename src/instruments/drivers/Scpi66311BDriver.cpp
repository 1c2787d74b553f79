#include "instruments/drivers/InstrumentDrivers.h"
#include "instruments/drivers/SupplyIo.h"

// The 66311B driver stand-in (hp663x2_*).
namespace {
class Scpi66311BDriver final : public Hp66311BDriver {
 public:
  SCPI_SUPPLY_COMMON_OPERATIONS(supply_)

  ViStatus OutputVoltCurr(ViSession vi, ViReal64 volts, ViReal64 amps) override {
    if (!SupplyIo::InRange(volts, HP66311B_MAX_VOLTS)) return VI_ERROR_PARAMETER2;
    if (!SupplyIo::InRange(amps, HP66311B_MAX_AMPS)) return VI_ERROR_PARAMETER3;
    return supply_.io().Send(
        vi, {supply_.Text(ScpiSupply::VOLTAGE, {volts}), supply_.Text(ScpiSupply::CURRENT, {amps}),
             supply_.Text(ScpiSupply::OUTPUT, {"ON"})});
  }

  ViStatus MeasureCurrent(ViSession vi, ViReal64* amps) override {
    if (!amps) return VI_ERROR_PARAMETER2;
    return supply_.MeasureCurrent(vi, supply_.Text(ScpiSupply::MEASURE_CURRENT), amps);
  }

 private:
  SupplyIo supply_{SCPI_66311B, {"66311B", nullptr, nullptr}};
};
}  // namespace

std::shared_ptr<Hp66311BDriver> MakeScpi66311BDriver() {
  return std::make_shared<Scpi66311BDriver>();
}
