#pragma once

#include <memory>

#include "instruments/drivers/SupplyDrivers.h"
#include "instruments/drivers/TestSet4400Driver.h"
#include "instruments/drivers/TestSet8960Driver.h"

// The drivers the session and operation code calls. By default the SCPI stand-ins over the
// VISA facade and the wt4400 driver; a test installs recording doubles instead.
struct InstrumentDrivers {
  std::shared_ptr<TestSet8960Driver> testSet8960;
  std::shared_ptr<TestSet4400Driver> testSet4400;
  std::shared_ptr<E3631ADriver> e3631a;
  std::shared_ptr<E3632ADriver> e3632a;
  std::shared_ptr<Hp66311BDriver> hp66311b;
};

InstrumentDrivers& Drivers();
void ResetInstrumentDrivers();  // back to the default drivers (fresh instances)

std::shared_ptr<TestSet8960Driver> MakeScpi8960Driver();
std::shared_ptr<TestSet4400Driver> MakeWt4400Driver();
std::shared_ptr<E3631ADriver> MakeScpiE3631ADriver();
std::shared_ptr<E3632ADriver> MakeScpiE3632ADriver();
std::shared_ptr<Hp66311BDriver> MakeScpi66311BDriver();
