#include "instruments/drivers/InstrumentDrivers.h"

namespace {
InstrumentDrivers Defaults() {
  return {MakeScpi8960Driver(), MakeWt4400Driver(), MakeScpiE3631ADriver(), MakeScpiE3632ADriver(),
          MakeScpi66311BDriver()};
}
}  // namespace

InstrumentDrivers& Drivers() {
  // Never destroyed: a driver closes its open sessions when it goes, and at exit the VISA
  // facade may already be gone. Replacing the drivers at run time closes them in good order.
  static InstrumentDrivers* drivers = new InstrumentDrivers(Defaults());
  return *drivers;
}

void ResetInstrumentDrivers() {
  Drivers() = Defaults();
}
