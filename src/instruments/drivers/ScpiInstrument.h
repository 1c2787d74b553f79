#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/visa/VisaTypes.h"

// What the stand-in drivers share: one VISA session per open instrument through the facade,
// line I/O (a line feed ends each message), the identity check, and the error-queue check
// after each operation. The first error such a check finds is kept for the session, so the
// error query still reports it after the caller has cleared the instrument.
struct ScpiModel {
  std::array<const char*, 3> modelTokens;  // identity model field must contain one (nullptr ends)
  const char* identify;
  const char* reset;
  const char* waitComplete;
  const char* clear;
  const char* errorQuery;
  uint32_t timeoutMs;
};

struct InstrumentError {
  int32_t code = 0;
  std::string text;
};

// Parses `<code>,"<text>"`; false for anything else.
bool ParseInstrumentError(std::string_view reply, InstrumentError* error);

// A reply that should be one number (NR1/NR2/NR3), blanks around it allowed and nothing else:
// "+0,\"No error\"" or "1;2" is malformed, not 0 or 1. SCPI's 9.91E+37 is NOT_A_NUMBER (the
// instrument has no value), and *value is then NaN.
enum class ScpiReal { NUMBER, NOT_A_NUMBER, MALFORMED };
ScpiReal ParseScpiReal(std::string_view reply, double* value);
// Copies text into a driver's 256-byte text buffer, cut and terminated.
void CopyDriverText(std::string_view text, char* buffer);

class ScpiInstrument {
 public:
  explicit ScpiInstrument(const ScpiModel& model) : model_(model) {}
  ~ScpiInstrument();  // closes what is still open

  ViStatus Init(const char* resource, ViBoolean idQuery, ViBoolean reset, ViSession* vi);
  ViStatus Close(ViSession vi);
  ViStatus Reset(ViSession vi);
  ViStatus ErrorQuery(ViSession vi, ViInt32* code, char* text);
  static ViStatus ErrorMessage(ViStatus status, char* text);
  ViStatus Clear(ViSession vi);
  std::string Identity(ViSession vi) const;

  // Writes the commands in order, then checks the error queue.
  ViStatus Send(ViSession vi, std::initializer_list<std::string> commands);
  // Writes the query, reads the reply line (waiting up to timeoutMs when given, else the
  // session's time-out), then checks the error queue.
  ViStatus Query(ViSession vi, const std::string& query, std::string* reply,
                 uint32_t timeoutMs = 0);
  bool IsOpen(ViSession vi) const { return sessions_.count(vi) != 0; }

 private:
  struct Session {
    ViSession rm = 0;
    std::optional<InstrumentError> found;
    std::string identity;
    bool unsettled = false;  // a read timed out: what the instrument still sends is stale
  };
  ViStatus WriteLine(ViSession vi, std::string_view text);
  ViStatus ReadLine(ViSession vi, std::string* reply, uint32_t timeoutMs);
  // ReadLine for an answer the operation waits for; a time-out leaves the session unsettled.
  ViStatus ReadAnswer(ViSession vi, std::string* reply, uint32_t timeoutMs);
  // Before the next operation of an unsettled session: drops what is still coming and reads
  // the error queue to its end. VI_INSTR_ERROR_DETECTED (kept for the error query) when the
  // queue held an error of its own, VI_ERROR_TMO while the instrument still does not answer.
  // drainFirst false: right after the read that timed out, when nothing has had time to come
  // late yet (what does come is read past before the queue's answer).
  ViStatus Settle(ViSession vi, bool drainFirst = true);
  ViStatus SettleIfNeeded(ViSession vi);
  ViStatus CheckErrorQueue(ViSession vi, uint32_t timeoutMs = 0);
  ViStatus CheckIdentity(ViSession vi);

  ScpiModel model_;
  std::map<ViSession, Session> sessions_;
};
