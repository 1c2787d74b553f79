#include "instruments/drivers/SupplyIo.h"

#include <cstdlib>

ViStatus SupplyIo::MeasureCurrent(ViSession vi, const std::string& query, ViReal64* amps) {
  *amps = 0.0;
  std::string reply;
  const ViStatus status = io_.Query(vi, query, &reply);
  if (status < VI_SUCCESS) return status;
  const char* begin = reply.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin || *end != '\0' || !std::isfinite(value)) return VI_ERROR_INV_RESPONSE;
  *amps = value;
  return status;
}
