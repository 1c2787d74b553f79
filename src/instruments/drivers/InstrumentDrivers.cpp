#include "instruments/drivers/InstrumentDrivers.h"

namespace {
InstrumentDrivers Defaults() {
  return {MakeScpi8960Driver(), MakeWt4400Driver(), MakeScpiE3631ADriver(), MakeScpiE3632ADriver(),
          MakeScpi66311BDriver()};
}

InstrumentDrivers g_drivers = Defaults();
}  // namespace

InstrumentDrivers& Drivers() {
  return g_drivers;
}

void ResetInstrumentDrivers() {
  g_drivers = Defaults();
}
