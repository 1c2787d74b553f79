#include "instruments/drivers/ScpiInstrument.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "instruments/drivers/DriverStatus.h"
#include "instruments/drivers/VxiPnpDriver.h"
#include "platform/visa/visa.h"

namespace {
constexpr size_t MAX_REPLY = 65536;    // a reply longer than this is refused, not buffered
constexpr int MAX_QUEUE_ENTRIES = 32;  // error-queue entries drained after one operation
constexpr uint32_t RESET_TIMEOUT_MS = 20000;
// The queue read after a time-out: an instrument that is there answers it at once; one that
// is not must not hold the station much beyond the time-out it has already used up.
constexpr uint32_t QUEUE_AFTER_TIMEOUT_MS = 500;
constexpr uint32_t DRAIN_MS = 200;      // a late line arrives within this once it comes at all
constexpr int MAX_STALE_LINES = 16;     // lines dropped in one drain
constexpr int MAX_LINES_PER_ENTRY = 4;  // late replies read past for one error-queue answer
constexpr int32_t QUERY_INTERRUPTED = -410;
constexpr int32_t QUERY_UNTERMINATED = -420;

std::string_view TrimLineEnd(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}
}  // namespace

bool ParseInstrumentError(std::string_view reply, InstrumentError* error) {
  reply = TrimLineEnd(reply);
  const size_t comma = reply.find(',');
  if (comma == std::string_view::npos || comma == 0) return false;
  const std::string codeText(reply.substr(0, comma));
  char* end = nullptr;
  const long code = std::strtol(codeText.c_str(), &end, 10);
  if (end == codeText.c_str() || *end != '\0') return false;
  std::string_view text = reply.substr(comma + 1);
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  error->code = static_cast<int32_t>(code);
  error->text = std::string(text.substr(1, text.size() - 2));
  return true;
}

ScpiReal ParseScpiReal(std::string_view reply, double* value) {
  *value = std::nan("");
  reply = TrimLineEnd(reply);
  while (!reply.empty() && std::isspace(static_cast<unsigned char>(reply.front()))) {
    reply.remove_prefix(1);
  }
  while (!reply.empty() && std::isspace(static_cast<unsigned char>(reply.back()))) {
    reply.remove_suffix(1);
  }
  // Decimal forms only: strtod would also take "nan", "inf" and hexadecimal.
  if (reply.empty() || reply.size() > 64) return ScpiReal::MALFORMED;
  for (char c : reply) {
    if (!std::isdigit(static_cast<unsigned char>(c)) && std::strchr("+-.eE", c) == nullptr) {
      return ScpiReal::MALFORMED;
    }
  }
  const std::string text(reply);
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v)) {
    return ScpiReal::MALFORMED;
  }
  if (std::fabs(v) >= 9.9e37) return ScpiReal::NOT_A_NUMBER;
  *value = v;
  return ScpiReal::NUMBER;
}

void CopyDriverText(std::string_view text, char* buffer) {
  if (!buffer) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(DRIVER_TEXT_SIZE - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

ScpiInstrument::~ScpiInstrument() {
  while (!sessions_.empty()) Close(sessions_.begin()->first);
}

ViStatus ScpiInstrument::Init(const char* resource, ViBoolean idQuery, ViBoolean reset,
                              ViSession* vi) {
  if (!vi) return VI_ERROR_PARAMETER4;
  *vi = 0;
  if (!resource || !*resource) return VI_ERROR_PARAMETER1;
  if (idQuery > 1) return VI_ERROR_PARAMETER2;
  if (reset > 1) return VI_ERROR_PARAMETER3;

  ViSession rm = 0;
  ViStatus status = viOpenDefaultRM(&rm);
  if (status < VI_SUCCESS) return status;
  ViSession session = 0;
  status = viOpen(rm, const_cast<char*>(resource), VI_NO_LOCK, 0, &session);
  if (status < VI_SUCCESS) {
    viClose(rm);
    return status;
  }
  viSetAttribute(session, VI_ATTR_TMO_VALUE, model_.timeoutMs);
  viSetAttribute(session, VI_ATTR_TERMCHAR, '\n');
  viSetAttribute(session, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  sessions_[session] = Session{rm, std::nullopt, {}};
  *vi = session;

  if (idQuery) {
    status = CheckIdentity(session);
    if (status < VI_SUCCESS) return status;
  }
  if (reset) {
    status = Reset(session);
    if (status < VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

ViStatus ScpiInstrument::CheckIdentity(ViSession vi) {
  std::string reply;
  ViStatus status = WriteLine(vi, model_.identify);
  if (status >= VI_SUCCESS) status = ReadAnswer(vi, &reply, 0);
  if (status < VI_SUCCESS) return status;
  sessions_[vi].identity = reply;
  // Maker, model, serial, revision: only the model field is compared.
  const size_t first = reply.find(',');
  if (first == std::string::npos) return VI_ERROR_FAIL_ID_QUERY;
  const size_t second = reply.find(',', first + 1);
  const std::string_view model = std::string_view(reply).substr(
      first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  for (const char* token : model_.modelTokens) {
    if (token && model.find(token) != std::string_view::npos) return VI_SUCCESS;
  }
  return VI_ERROR_FAIL_ID_QUERY;
}

ViStatus ScpiInstrument::Close(ViSession vi) {
  auto it = sessions_.find(vi);
  if (it == sessions_.end()) return VI_ERROR_INV_OBJECT;
  const ViSession rm = it->second.rm;
  sessions_.erase(it);
  ViStatus status = viClose(vi);
  const ViStatus rmStatus = viClose(rm);
  return status < VI_SUCCESS ? status : rmStatus < VI_SUCCESS ? rmStatus : VI_SUCCESS;
}

ViStatus ScpiInstrument::Reset(ViSession vi) {
  if (!IsOpen(vi)) return VI_ERROR_INV_OBJECT;
  SettleIfNeeded(vi);  // a reset is wanted whatever was still coming
  ViStatus status = WriteLine(vi, model_.reset);
  if (status < VI_SUCCESS) return status;
  std::string reply;  // "1" once the reset has finished; its value says nothing more
  status = WriteLine(vi, model_.waitComplete);
  if (status >= VI_SUCCESS) status = ReadAnswer(vi, &reply, RESET_TIMEOUT_MS);
  if (status < VI_SUCCESS) return status;
  return CheckErrorQueue(vi);
}

ViStatus ScpiInstrument::ErrorQuery(ViSession vi, ViInt32* code, char* text) {
  if (code) *code = 0;
  CopyDriverText("", text);
  auto it = sessions_.find(vi);
  if (it == sessions_.end()) return VI_ERROR_INV_OBJECT;
  if (!code) return VI_ERROR_PARAMETER2;
  if (!text) return VI_ERROR_PARAMETER3;
  if (it->second.found) {
    *code = it->second.found->code;
    CopyDriverText(it->second.found->text, text);
    it->second.found.reset();
    return VI_SUCCESS;
  }
  ViStatus status = SettleIfNeeded(vi);
  if (status == VI_INSTR_ERROR_DETECTED) return ErrorQuery(vi, code, text);
  if (status < VI_SUCCESS) return status;
  std::string reply;
  status = WriteLine(vi, model_.errorQuery);
  if (status >= VI_SUCCESS) status = ReadAnswer(vi, &reply, 0);
  if (status < VI_SUCCESS) return status;
  InstrumentError error;
  if (!ParseInstrumentError(reply, &error)) return VI_ERROR_INV_RESPONSE;
  *code = error.code;
  CopyDriverText(error.text, text);
  return VI_SUCCESS;
}

ViStatus ScpiInstrument::ErrorMessage(ViStatus status, char* text) {
  if (!text) return VI_ERROR_PARAMETER3;
  bool known = false;
  CopyDriverText(DriverStatusText(status, &known), text);
  return known ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS;
}

ViStatus ScpiInstrument::Clear(ViSession vi) {
  if (!IsOpen(vi)) return VI_ERROR_INV_OBJECT;
  SettleIfNeeded(vi);  // what it finds is kept for the error query; the clear goes out anyway
  return WriteLine(vi, model_.clear);
}

std::string ScpiInstrument::Identity(ViSession vi) const {
  auto it = sessions_.find(vi);
  return it == sessions_.end() ? std::string() : it->second.identity;
}

ViStatus ScpiInstrument::Send(ViSession vi, std::initializer_list<std::string> commands) {
  if (!IsOpen(vi)) return VI_ERROR_INV_OBJECT;
  const ViStatus settled = SettleIfNeeded(vi);
  if (settled == VI_ERROR_TMO) return settled;
  for (const std::string& command : commands) {
    const ViStatus status = WriteLine(vi, command);
    if (status < VI_SUCCESS) return status;
  }
  return CheckErrorQueue(vi);
}

ViStatus ScpiInstrument::Query(ViSession vi, const std::string& query, std::string* reply,
                               uint32_t timeoutMs) {
  reply->clear();
  if (!IsOpen(vi)) return VI_ERROR_INV_OBJECT;
  const ViStatus settled = SettleIfNeeded(vi);
  if (settled == VI_ERROR_TMO) return settled;
  ViStatus status = WriteLine(vi, query);
  if (status < VI_SUCCESS) return status;
  status = ReadAnswer(vi, reply, timeoutMs);
  if (status == VI_ERROR_TMO) {
    // An instrument refuses a query it does not know by not answering; its queue says why.
    // The answer may also only be late: settling drops it, so it is never the next one's.
    const ViStatus queue = Settle(vi, false);
    return queue == VI_INSTR_ERROR_DETECTED ? queue : status;
  }
  if (status < VI_SUCCESS) return status;
  return CheckErrorQueue(vi);
}

ViStatus ScpiInstrument::WriteLine(ViSession vi, std::string_view text) {
  std::string line(text);
  line += '\n';
  ViUInt32 written = 0;
  const ViStatus status = viWrite(vi, reinterpret_cast<ViBuf>(line.data()),
                                  static_cast<ViUInt32>(line.size()), &written);
  if (status < VI_SUCCESS) return status;
  return written == line.size() ? VI_SUCCESS : VI_ERROR_IO;
}

ViStatus ScpiInstrument::ReadLine(ViSession vi, std::string* reply, uint32_t timeoutMs) {
  reply->clear();
  if (timeoutMs) viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeoutMs);
  ViStatus status = VI_SUCCESS;
  unsigned char chunk[512];
  for (;;) {
    ViUInt32 count = 0;
    status = viRead(vi, chunk, sizeof chunk, &count);
    if (status < VI_SUCCESS) break;
    reply->append(reinterpret_cast<const char*>(chunk), std::min<size_t>(count, sizeof chunk));
    if (status != VI_SUCCESS_MAX_CNT || (!reply->empty() && reply->back() == '\n')) {
      status = VI_SUCCESS;
      break;
    }
    if (reply->size() > MAX_REPLY) {
      status = VI_ERROR_INV_RESPONSE;
      break;
    }
  }
  if (timeoutMs) viSetAttribute(vi, VI_ATTR_TMO_VALUE, model_.timeoutMs);
  if (status < VI_SUCCESS) {
    reply->clear();
    return status;
  }
  reply->resize(TrimLineEnd(*reply).size());
  return VI_SUCCESS;
}

ViStatus ScpiInstrument::ReadAnswer(ViSession vi, std::string* reply, uint32_t timeoutMs) {
  const ViStatus status = ReadLine(vi, reply, timeoutMs);
  if (status == VI_ERROR_TMO) {
    if (auto it = sessions_.find(vi); it != sessions_.end()) it->second.unsettled = true;
  }
  return status;
}

ViStatus ScpiInstrument::SettleIfNeeded(ViSession vi) {
  auto it = sessions_.find(vi);
  if (it == sessions_.end() || !it->second.unsettled) return VI_SUCCESS;
  return Settle(vi);
}

ViStatus ScpiInstrument::Settle(ViSession vi, bool drainFirst) {
  const auto drain = [this, vi] {
    for (int i = 0; i < MAX_STALE_LINES; ++i) {
      std::string stale;
      if (ReadLine(vi, &stale, DRAIN_MS) < VI_SUCCESS) return;
    }
  };
  if (drainFirst) drain();
  std::optional<InstrumentError> first;
  for (int i = 0; i < MAX_QUEUE_ENTRIES; ++i) {
    ViStatus status = WriteLine(vi, model_.errorQuery);
    if (status < VI_SUCCESS) return status;
    InstrumentError error;
    bool parsed = false;
    // A late reply may still come before the queue's answer: it is read past.
    for (int n = 0; n < MAX_LINES_PER_ENTRY && !parsed; ++n) {
      std::string reply;
      status = ReadLine(vi, &reply, QUEUE_AFTER_TIMEOUT_MS);
      if (status < VI_SUCCESS) return status;  // still not answering: stays unsettled
      parsed = ParseInstrumentError(reply, &error);
    }
    if (!parsed) return VI_ERROR_INV_RESPONSE;
    if (error.code == 0) {
      drain();  // the answer to an earlier queue read may still be on its way
      sessions_[vi].unsettled = false;
      if (!first) return VI_SUCCESS;
      sessions_[vi].found = first;
      return VI_INSTR_ERROR_DETECTED;
    }
    // The interruption of the late reply is ours, not the instrument's complaint.
    if (!first && error.code != QUERY_INTERRUPTED && error.code != QUERY_UNTERMINATED) {
      first = error;
    }
  }
  return VI_ERROR_INV_RESPONSE;
}

ViStatus ScpiInstrument::CheckErrorQueue(ViSession vi, uint32_t timeoutMs) {
  std::optional<InstrumentError> first;
  for (int i = 0; i < MAX_QUEUE_ENTRIES; ++i) {
    std::string reply;
    ViStatus status = WriteLine(vi, model_.errorQuery);
    if (status >= VI_SUCCESS) status = ReadAnswer(vi, &reply, timeoutMs);
    if (status < VI_SUCCESS) return status;
    InstrumentError error;
    if (!ParseInstrumentError(reply, &error)) return VI_ERROR_INV_RESPONSE;
    if (error.code == 0) break;
    if (!first) first = error;  // the rest is drained so it is not blamed on a later call
  }
  if (!first) return VI_SUCCESS;
  sessions_[vi].found = first;
  return VI_INSTR_ERROR_DETECTED;
}
