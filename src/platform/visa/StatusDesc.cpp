#include <cstdio>
#include <cstring>

#include "platform/visa/visa.h"

namespace {

struct StatusText {
  ViStatus status;
  const char* name;
  const char* text;
};

constexpr StatusText STATUS_TEXTS[] = {
    {VI_SUCCESS, "VI_SUCCESS", "Operation completed successfully."},
    {VI_SUCCESS_TERM_CHAR, "VI_SUCCESS_TERM_CHAR", "The specified termination character was read."},
    {VI_SUCCESS_MAX_CNT, "VI_SUCCESS_MAX_CNT",
     "The number of bytes read is equal to the input count."},
    {VI_WARN_NULL_OBJECT, "VI_WARN_NULL_OBJECT",
     "The specified object reference is uninitialized."},
    {VI_WARN_UNKNOWN_STATUS, "VI_WARN_UNKNOWN_STATUS",
     "The status code passed to the operation could not be interpreted."},
    {VI_ERROR_SYSTEM_ERROR, "VI_ERROR_SYSTEM_ERROR", "Unknown system error."},
    {VI_ERROR_INV_OBJECT, "VI_ERROR_INV_OBJECT",
     "The given session or object reference is invalid."},
    {VI_ERROR_INV_EXPR, "VI_ERROR_INV_EXPR", "Invalid expression specified for search."},
    {VI_ERROR_RSRC_NFOUND, "VI_ERROR_RSRC_NFOUND",
     "Insufficient location information or resource not present in the system."},
    {VI_ERROR_INV_RSRC_NAME, "VI_ERROR_INV_RSRC_NAME", "Invalid resource reference specified."},
    {VI_ERROR_INV_ACC_MODE, "VI_ERROR_INV_ACC_MODE", "Invalid access mode."},
    {VI_ERROR_TMO, "VI_ERROR_TMO", "Timeout expired before operation completed."},
    {VI_ERROR_CLOSING_FAILED, "VI_ERROR_CLOSING_FAILED",
     "Unable to deallocate the previously allocated data structures."},
    {VI_ERROR_NSUP_ATTR, "VI_ERROR_NSUP_ATTR",
     "The specified attribute is not defined or supported by the referenced session."},
    {VI_ERROR_NSUP_ATTR_STATE, "VI_ERROR_NSUP_ATTR_STATE",
     "The specified state of the attribute is not valid or is not supported."},
    {VI_ERROR_ATTR_READONLY, "VI_ERROR_ATTR_READONLY", "The specified attribute is read-only."},
    {VI_ERROR_ALLOC, "VI_ERROR_ALLOC", "Insufficient system resources to perform the operation."},
    {VI_ERROR_INV_MASK, "VI_ERROR_INV_MASK", "Invalid buffer mask specified."},
    {VI_ERROR_IO, "VI_ERROR_IO", "Could not perform operation because of I/O error."},
    {VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER",
     "The given session does not support this operation."},
    {VI_ERROR_USER_BUF, "VI_ERROR_USER_BUF",
     "A specified user buffer is not valid or cannot be accessed."},
    {VI_ERROR_RSRC_BUSY, "VI_ERROR_RSRC_BUSY",
     "The resource is valid, but VISA cannot currently access it."},
    {VI_ERROR_INV_PARAMETER, "VI_ERROR_INV_PARAMETER", "The value of a parameter is invalid."},
    {VI_ERROR_LIBRARY_NFOUND, "VI_ERROR_LIBRARY_NFOUND",
     "A code library required by VISA could not be located or loaded."},
    {VI_ERROR_CONN_LOST, "VI_ERROR_CONN_LOST",
     "The connection for the given session has been lost."},
};

const StatusText* Find(ViStatus status) {
  for (const auto& entry : STATUS_TEXTS) {
    if (entry.status == status) return &entry;
  }
  return nullptr;
}

}  // namespace

namespace visa {

const char* StatusName(ViStatus status) {
  const StatusText* entry = Find(status);
  return entry ? entry->name : "";
}

}  // namespace visa

ViStatus viStatusDesc(ViObject, ViStatus status, ViChar desc[]) {
  if (desc == nullptr) return VI_ERROR_USER_BUF;
  const StatusText* entry = Find(status);
  if (entry) {
    std::snprintf(desc, 256, "%s: %s", entry->name, entry->text);
    return VI_SUCCESS;
  }
  std::snprintf(desc, 256, "Unknown status 0x%08X.", static_cast<unsigned>(status));
  return VI_WARN_UNKNOWN_STATUS;
}
