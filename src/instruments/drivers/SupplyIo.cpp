#include "instruments/drivers/SupplyIo.h"

#include <cstdlib>

ViStatus SupplyIo::MeasureCurrent(ViSession vi, const std::string& query, ViReal64* amps) {
  *amps = 0.0;
  std::string reply;
  const ViStatus status = io_.Query(vi, query, &reply);
  if (status < VI_SUCCESS) return status;
  // An overload reading (9.9E+37) is no current either: taken, it would look like a handset.
  double value = 0.0;
  if (ParseScpiReal(reply, &value) != ScpiReal::NUMBER) return VI_ERROR_INV_RESPONSE;
  *amps = value;
  return status;
}
