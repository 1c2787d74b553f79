#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::Slot;
using wt4400::SlotOf;

// The most entries one check reads: a tester that keeps reporting errors must not hold the
// station in the loop for ever (SCPI queues are a few dozen deep).
constexpr int MAX_QUEUE_ENTRIES = 64;

struct QueueEntry {
  int code = 0;
  std::string text;
};

// '<code>,"<text>"': the code alone is enough; the text runs to the next double quote.
bool ParseQueueEntry(const char* reply, QueueEntry* entry) {
  std::string_view text(reply, strnlen(reply, 1024));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const size_t digitsStart = pos;
  long code = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    code = code * 10 + (text[pos] - '0');
    if (code > 32768) return false;  // instrument codes are 16-bit
    ++pos;
  }
  if (pos == digitsStart) return false;
  entry->code = static_cast<int>(negative ? -code : code);
  if (entry->code > 32767) return false;
  entry->text.clear();
  if (pos < text.size() && text[pos] == ',') {
    std::string_view rest = text.substr(pos + 1);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) {
      rest.remove_prefix(1);
    }
    if (!rest.empty() && rest.front() == '"') {
      rest.remove_prefix(1);
      entry->text = std::string(rest.substr(0, rest.find('"')));
    }
  }
  if (entry->text.size() > wt4400::ERROR_TEXT_MAX) entry->text.resize(wt4400::ERROR_TEXT_MAX);
  return true;
}

struct ErrorText {
  ViStatus status;
  const char* text;
};

constexpr ErrorText ERROR_TEXTS[] = {
    {0, "No Error"},
    {-100, "Command Error"},
    {-101, "Invalid Character"},
    {-102, "Syntax Error"},
    {-103, "Invalid Separator"},
    {-104, "Data Type Error"},
    {-108, "Parameter not allowed"},
    {-109, "Missing Parameter"},
    {-112, "Program Mnemonic too long"},
    {-113, "Undefined Header"},
    {-114, "Timeout Error"},
    {-115, "Read Error"},
    {-116, "Value Result Error"},
    {-200, "Execution Error"},
    {-225, "Out of Memory"},
    {-233, "Invalid Version"},
    {-240, "Hardware Error"},
    {-300, "Device Specific Error"},
    {-311, "Memory Error"},
    {-315, "Configuration Memory Lost"},
    {-330, "Self Test Failed"},
    {-340, "Calibration failed"},
    {-350, "Queue overflow"},
    {-360, "Communication Error"},
    {-400, "Query Error"},
    {-401, "A other function should be called before"},
};

}  // namespace

ViStatus wt4400_checkErrorQueue(ViSession handle) {
  Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  if (slot->simulation != 0) return VI_SUCCESS;
  const int16_t inCheck = slot->inCheck;
  slot->inCheck = 1;
  slot->lastErrorText.clear();
  ViStatus failure = VI_SUCCESS;
  bool first = true;
  QueueEntry entry;
  entry.code = 1;
  for (int n = 0; n < MAX_QUEUE_ENTRIES && entry.code != 0; ++n) {
    failure = wt4400_write(handle, ":SYST:ERR?");
    if (failure < VI_SUCCESS) break;
    char reply[wt4400::ERROR_TEXT_MAX + 1] = {};
    failure = wt4400_read(reply, static_cast<int16_t>(wt4400::ERROR_TEXT_MAX), handle);
    if (failure < VI_SUCCESS) break;
    failure = VI_SUCCESS;
    if (!ParseQueueEntry(reply, &entry)) {
      failure = VI_ERROR_INV_RESPONSE;
      break;
    }
    if (first) {
      slot->lastErrorCode = entry.code;
      slot->lastErrorText = entry.text;
      first = false;
    }
  }
  slot->inCheck = inCheck;
  if (failure < VI_SUCCESS) {
    wt4400_trace(failure, "error ", "queue check failed", handle);
    return failure;
  }
  if (slot->lastErrorCode == 0) return VI_SUCCESS;
  const ViStatus status = WT4400_INSTR_ERROR_BASE + slot->lastErrorCode;
  const std::string message =
      std::to_string(slot->lastErrorCode) + ",\"" + slot->lastErrorText + "\"";
  wt4400_trace(status, "error ", message.c_str(), handle);
  return status;
}

ViStatus wt4400_errorMessage(ViStatus status, char* text) {
  if (text == nullptr) return VI_SUCCESS;
  const char* found = "Interface Error";
  for (const auto& entry : ERROR_TEXTS) {
    if (entry.status == status) found = entry.text;
  }
  std::snprintf(text, 256, "%s", found);
  return VI_SUCCESS;
}

ViStatus wt4400_errorText(ViSession handle, ViStatus status, char* text) {
  if (text == nullptr) return VI_ERROR_PARAMETER3;
  const bool instrumentError =
      status >= static_cast<ViStatus>(0xBFFE0001) && status < WT4400_INSTR_ERROR_BASE;
  if (!instrumentError) return wt4400_errorMessage(status, text);
  const ViStatus guard = wt4400::Guard(handle);
  if (guard < VI_SUCCESS) {
    wt4400_errorMessage(guard, text);
    return guard;
  }
  std::snprintf(text, 300, "Instrument Error Message: %s", SlotOf(handle)->lastErrorText.c_str());
  return VI_SUCCESS;
}
