#include <cstring>
#include <string>

#include "platform/Delay.h"
#include "platform/visa/visa.h"
#include "tester4400/wt4400Internal.h"

namespace {

using wt4400::Slot;
using wt4400::SlotOf;

// After a reply that did not fit, the rest of it is read and dropped, so it cannot be taken
// for the reply to the next query.
void DiscardRestOfReply(ViSession session) {
  unsigned char scratch[256];
  for (int i = 0; i < 256; ++i) {
    ViUInt32 got = 0;
    if (viRead(session, scratch, sizeof scratch, &got) != VI_SUCCESS_MAX_CNT) return;
  }
}

// After a read that failed: the queue says why a tester refused a query, but one that does
// not answer at all must not hold the station for a second full time-out, and a closed
// connection has no queue to read.
constexpr ViUInt32 QUEUE_AFTER_TIMEOUT_MS = 500;

ViStatus QueueAfterFailedRead(ViSession handle, ViStatus readStatus) {
  if (readStatus == VI_ERROR_CONN_LOST) return readStatus;
  const Slot* slot = SlotOf(handle);
  const bool shorten = readStatus == VI_ERROR_TMO && slot->session != 0;
  if (shorten) viSetAttribute(slot->session, VI_ATTR_TMO_VALUE, QUEUE_AFTER_TIMEOUT_MS);
  const ViStatus queue = wt4400_checkErrorQueue(handle);
  if (shorten) {
    viSetAttribute(slot->session, VI_ATTR_TMO_VALUE, static_cast<ViAttrState>(slot->timeoutMs));
  }
  return queue;
}

}  // namespace

ViStatus wt4400_write(ViSession handle, const char* command) {
  const Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  if (command == nullptr) return VI_ERROR_PARAMETER2;
  const size_t length = strnlen(command, wt4400::COMMAND_MAX + 1);
  // A longer command would go out cut short; it is refused instead.
  if (length > wt4400::COMMAND_MAX) return VI_ERROR_PARAMETER2;
  if (slot->checkOff == 0) {
    const ViStatus guard = wt4400::Guard(handle);
    if (guard < VI_SUCCESS) return guard;
  }
  if (length == 0) return VI_SUCCESS;
  ViStatus status = VI_SUCCESS;
  if (slot->simulation == 0) {
    std::string line(command, length);
    line.push_back('\n');
    ViUInt32 written = 0;
    status = viWrite(slot->session, reinterpret_cast<ViConstBuf>(line.data()),
                     static_cast<ViUInt32>(line.size()), &written);
  }
  wt4400_trace(status, "write ", command, handle);
  return status;
}

ViStatus wt4400_writeAndCheck(ViSession handle, const char* command) {
  const ViStatus status = wt4400_write(handle, command);
  if (status < VI_SUCCESS) return status;
  const Slot* slot = SlotOf(handle);
  if (wt4400::Checking(*slot)) return wt4400_checkErrorQueue(handle);
  return status;
}

ViStatus wt4400_read(char* reply, int16_t maxCount, ViSession handle) {
  const Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;  // the slot guard's status
  if (reply == nullptr) return VI_ERROR_PARAMETER1;
  if (maxCount < 1) return VI_ERROR_PARAMETER2;
  if (slot->checkOff == 0) {
    const ViStatus guard = wt4400::Guard(handle);
    if (guard < VI_SUCCESS) return guard;
  }
  if (slot->simulation != 0) {
    wt4400_trace(VI_SUCCESS, "read  ", "(nothing!)", handle);
    return VI_SUCCESS;
  }
  ViUInt32 got = 0;
  ViStatus status =
      viRead(slot->session, reinterpret_cast<ViBuf>(reply), static_cast<ViUInt32>(maxCount), &got);
  if (status < VI_SUCCESS) {
    reply[0] = '\0';
  } else {
    if (got > static_cast<ViUInt32>(maxCount)) got = static_cast<ViUInt32>(maxCount);
    if (got > 0 && reply[got - 1] == '\n') {
      --got;  // the terminator
      if (got > 0 && reply[got - 1] == '\r') --got;
      reply[got] = '\0';
      status = VI_SUCCESS;
    } else if (status == VI_SUCCESS_MAX_CNT) {
      // The reply did not fit: it is cut to the buffer and the rest dropped.
      reply[got > 0 ? got - 1 : 0] = '\0';
      DiscardRestOfReply(slot->session);
    } else if (got < static_cast<ViUInt32>(maxCount)) {
      reply[got] = '\0';  // ended by END without a line feed: every byte is reply
      status = VI_SUCCESS;
    } else {
      reply[got - 1] = '\0';
      status = VI_SUCCESS;
    }
  }
  wt4400_trace(status, "read  ", reply, handle);
  return status;
}

ViStatus wt4400_query(ViSession handle, const char* command, char* reply, int16_t maxCount) {
  const Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  if (command == nullptr ||
      strnlen(command, wt4400::QUERY_COMMAND_MAX + 1) > wt4400::QUERY_COMMAND_MAX) {
    return VI_ERROR_PARAMETER2;
  }
  if (reply == nullptr) return VI_ERROR_PARAMETER3;
  if (maxCount < 1) return VI_ERROR_PARAMETER4;
  const ViStatus written = wt4400_write(handle, command);
  if (written < VI_SUCCESS) {
    reply[0] = '\0';
    return written;
  }
  const ViStatus status = wt4400_read(reply, maxCount, handle);
  if (!wt4400::Checking(*slot)) return status;
  if (status >= VI_SUCCESS) return wt4400_checkErrorQueue(handle);
  const ViStatus queue = QueueAfterFailedRead(handle, status);
  return wt4400::IsInstrumentError(queue) ? queue : status;
}

ViStatus wt4400_queryAndCheck(ViSession handle, const char* command, char* reply) {
  char scratch[wt4400::QUERY_REPLY_MAX];
  return wt4400_query(handle, command, reply != nullptr ? reply : scratch, wt4400::QUERY_REPLY_MAX);
}

ViStatus wt4400_identify(ViSession handle, char* reply, int16_t maxCount) {
  if (reply == nullptr || maxCount < 1) return VI_SUCCESS;
  const Slot* slot = SlotOf(handle);
  if (slot == nullptr) return VI_ERROR_PARAMETER1;
  reply[0] = '\0';
  const ViStatus written = wt4400_write(handle, "*IDN?");
  if (written < VI_SUCCESS) return written;
  const ViStatus status = wt4400_read(reply, maxCount, handle);
  if (!wt4400::Checking(*slot)) return status;
  // An empty queue makes the identity query good even when the read failed: its reply (then
  // empty) is judged by the caller, so a tester that answers only its queue is an invalid
  // response, not a failed query.
  const ViStatus queue =
      status >= VI_SUCCESS ? wt4400_checkErrorQueue(handle) : QueueAfterFailedRead(handle, status);
  if (queue == VI_SUCCESS) return VI_SUCCESS;
  return wt4400::IsInstrumentError(status) ? queue : status;
}

ViStatus wt4400_reset(ViSession handle) {
  const ViStatus written = wt4400_write(handle, "*RST");
  if (written < VI_SUCCESS) return written;
  Slot* slot = SlotOf(handle);
  slot->cache = wt4400::SettingCache{};
  Delay(2.0);
  if (wt4400::Checking(*slot)) {
    const ViStatus queue = wt4400_checkErrorQueue(handle);
    if (queue < VI_SUCCESS && !wt4400::IsInstrumentError(queue)) return queue;
  }
  return VI_SUCCESS;
}

ViStatus wt4400_resetAndWait(ViSession handle) {
  const ViStatus written = wt4400_write(handle, "*RST");
  if (written < VI_SUCCESS) return written;
  // The tester is back at its defaults: what the caches remember is no longer set.
  SlotOf(handle)->cache = wt4400::SettingCache{};
  return wt4400::WaitComplete(handle);
}

namespace wt4400 {

ViStatus WaitComplete(ViSession handle) {
  return wt4400_queryAndCheck(handle, "*OPC?", nullptr);
}

}  // namespace wt4400
