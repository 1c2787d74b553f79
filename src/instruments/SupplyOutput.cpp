#include <chrono>
#include <thread>

#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "instruments/drivers/InstrumentDrivers.h"
#include "platform/EventLoop.h"

// Setting the supply's output and reading its current.
namespace {
constexpr uint32_t SETTLE_MS = 1000;
constexpr ViInt32 E3631A_OUTPUT = 1;  // P6V

// Checks a setting's status; false once the supply has been let go as no longer there, so
// the setting ends there instead of waiting on it (the settling wait included).
bool StillThere(ViSession h, ViStatus status) {
  CheckSupplyStatus(h, status);
  return h == 0 || Instruments().SupplyHandle != 0;
}

// A busy wait: nothing of the station runs meanwhile.
void SettleWait() {
  if (EventLoop* loop = Instruments().loop) {
    loop->BusyWait(SETTLE_MS);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(SETTLE_MS + 1));
  }
}
}  // namespace

void SetSupplyOutput(double volts, double amps) {
  const ViSession h = Instruments().SupplyHandle;
  switch (Instruments().SupplyType) {
    case SUPPLY_66311B:
      CheckSupplyStatus(h, Drivers().hp66311b->OutputVoltCurr(h, volts, amps));
      break;
    case SUPPLY_E3631A: {
      E3631ADriver& d = *Drivers().e3631a;
      if (!StillThere(h, d.SetVoltage(h, E3631A_OUTPUT, volts))) return;
      if (!StillThere(h, d.SetCurrentLimit(h, E3631A_OUTPUT, amps))) return;
      SettleWait();
      d.OutputOn(h, VI_TRUE);
      break;
    }
    case SUPPLY_E3632A: {
      E3632ADriver& d = *Drivers().e3632a;
      if (!StillThere(h, d.SetVoltage(h, volts))) return;
      if (!StillThere(h, d.SetCurrentLimit(h, amps))) return;
      SettleWait();
      d.OutputOn(h, VI_TRUE);
      break;
    }
    default:
      break;
  }
}

void SetSupplyNominal() {
  SetSupplyOutput(3.8, 3.0);
}

void SetSupplyCharged() {
  SetSupplyOutput(4.18, 3.0);
}

double ReadSupplyCurrent() {
  const ViSession h = Instruments().SupplyHandle;
  double amps = 0.0;  // also the answer when no supply is selected
  switch (Instruments().SupplyType) {
    case SUPPLY_66311B:
      CheckSupplyStatus(h, Drivers().hp66311b->MeasureCurrent(h, &amps));
      break;
    case SUPPLY_E3631A:
      CheckSupplyStatus(h, Drivers().e3631a->MeasureCurrent(h, E3631A_OUTPUT, &amps));
      break;
    case SUPPLY_E3632A:
      CheckSupplyStatus(h, Drivers().e3632a->MeasureCurrent(h, &amps));
      break;
    default:
      break;
  }
  return amps;
}
