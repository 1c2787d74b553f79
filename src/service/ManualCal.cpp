#include "service/ManualCal.h"

#include "link/Bcommand.h"
#include "platform/Notifier.h"
#include "service/AnswerDisplay.h"
#include "service/ServiceText.h"

ManualCal::ManualCal(EventLoop& loop, Port& port, Notifier& notifier, ManualCalView& view,
                     uint32_t answerTimeoutMs)
    : notifier_(notifier), view_(view), exchange_(loop, port, *this, answerTimeoutMs) {}

void ManualCal::TakePort() {
  exchange_.GetPort().SetOwner(&exchange_);
}

void ManualCal::Send(std::string_view commandLine) {
  const std::string line(commandLine.substr(0, COMMAND_LINE_MAX));
  Write(line);
  view_.ClearCommandLine();
  // Whatever the encoder makes of it: a line outside the language goes out as an empty frame.
  if (!exchange_.Send(line)) {
    outcome_ = Outcome::NOT_SENT;
    notifier_.Message(LINK_CLOSED_MESSAGE);
    return;
  }
  outcome_ = Outcome::PENDING;
}

void ManualCal::Clear() {
  view_.ClearDisplay();
}

void ManualCal::Write(const std::string& text) {
  view_.AppendDisplay(text);
}

void ManualCal::DecodeAnswer(Exchange& ex) {
  const AnswerClass answer = ex.CheckAnswer();
  if (onFrame) onFrame(ex, answer);
  switch (answer) {
    case ANSWER_OTHER:
      // The poll goes on: the awaited answer may still follow the stray one.
      ex.StopAnswerTimer();
      if (outcome_ == Outcome::PENDING) outcome_ = Outcome::OTHER_ANSWER;
      if (const char* line = CommandErrorLine(ex.AnswerOpcode())) Write(line);
      break;
    case ANSWER_OK: {
      ex.StopTimers();
      outcome_ = Outcome::ANSWERED;
      const uint16_t length = ex.DecodeFrameCopy();
      for (const std::string& line : ManualAnswerLines(ex.Decoded(), length)) Write(line);
      break;
    }
    case ANSWER_STATUS_ERROR:
      // Both timers keep running: "No Response" follows at the time-out.
      Write(STATUS_ERROR_LINE);
      break;
    case ANSWER_NONE:
      break;
  }
}

// The port told the operator; the line awaiting its answer gets no "No Response" of its own.
void ManualCal::OnPortLost(Exchange& /*ex*/) {
  if (outcome_ == Outcome::PENDING || outcome_ == Outcome::OTHER_ANSWER) {
    outcome_ = Outcome::PORT_LOST;
  }
}

void ManualCal::OnAnswerTimeout(Exchange& ex) {
  Write(NO_RESPONSE_LINE);
  ex.StopTimers();
  outcome_ = Outcome::NO_RESPONSE;
}
