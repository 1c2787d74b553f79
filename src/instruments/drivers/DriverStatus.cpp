#include "instruments/drivers/DriverStatus.h"

#include <array>

#include "instruments/drivers/TestSet8960Driver.h"

namespace {
struct StatusText {
  ViStatus status;
  const char* text;
};

constexpr std::array<StatusText, 25> TEXTS{{
    {VI_SUCCESS, "No error"},
    {VI_WARN_NOT_CONNECTED, "Call not connected within the time-out"},
    {VI_INSTR_ERROR_DETECTED, "Instrument error detected; query the instrument's error queue"},
    {VI_ERROR_PARAMETER1, "Parameter 1 out of range"},
    {VI_ERROR_PARAMETER2, "Parameter 2 out of range"},
    {VI_ERROR_PARAMETER3, "Parameter 3 out of range"},
    {VI_ERROR_PARAMETER4, "Parameter 4 out of range"},
    {VI_ERROR_PARAMETER5, "Parameter 5 out of range"},
    {VI_ERROR_PARAMETER6, "Parameter 6 out of range"},
    {VI_ERROR_FAIL_ID_QUERY, "Instrument identification query failed"},
    {VI_ERROR_INV_RESPONSE, "Invalid response from the instrument"},
    {VI_ERROR_SYSTEM_ERROR, "Unknown system error"},
    {VI_ERROR_INV_OBJECT, "The given session or object reference is invalid"},
    {VI_ERROR_RSRC_NFOUND, "Insufficient location information or resource not present"},
    {VI_ERROR_INV_RSRC_NAME, "Invalid resource reference specified; parsing error"},
    {VI_ERROR_TMO, "Timeout expired before operation completed"},
    {VI_ERROR_CLOSING_FAILED, "Unable to deallocate the session data structures"},
    {VI_ERROR_NSUP_ATTR, "The attribute is not supported by the referenced object"},
    {VI_ERROR_NSUP_ATTR_STATE, "The attribute state is not supported by the referenced object"},
    {VI_ERROR_ALLOC, "Insufficient system resources to perform the operation"},
    {VI_ERROR_IO, "Could not perform operation because of I/O error"},
    {VI_ERROR_RSRC_BUSY, "The resource is valid, but VISA cannot currently access it"},
    {VI_ERROR_NSUP_OPER, "The operation is not supported by the given session"},
    {VI_ERROR_LIBRARY_NFOUND, "A code library required by VISA could not be loaded"},
    {VI_ERROR_CONN_LOST, "The connection for the given session has been lost"},
}};
}  // namespace

const char* DriverStatusText(ViStatus status, bool* known) {
  for (const StatusText& t : TEXTS) {
    if (t.status == status) {
      if (known) *known = true;
      return t.text;
    }
  }
  if (known) *known = false;
  return "Unknown status code";
}
