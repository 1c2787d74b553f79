#include "link/TargetConnection.h"

#include "link/Bcommand.h"

void TargetOpen(Port& port, Notifier& notifier) {
  // An open link opens again successfully, on the same handle.
  notifier.Message(port.Open(TARGET_PORT, TARGET_BAUD) ? MSG_PORT_OPENED : MSG_PORT_ERROR);
}

void TargetClose(Port& port, Notifier& notifier) {
  port.Close();
  notifier.Message(MSG_DISCONNECTED);
}

void TargetRelease(Port& port) {
  port.Close();
}

TargetReset::TargetReset(EventLoop& loop, Port& port, Notifier& notifier)
    : loop_(loop),
      port_(port),
      notifier_(notifier),
      exchange_(loop, port, *this, TARGET_RESET_TIMEOUT_MS) {}

void TargetReset::OnInit() {
  exchange_.Reset();
  port_.SetOwner(&exchange_);
}

std::unique_ptr<ResetOutcome> TargetReset::Yes() {
  auto outcome = std::make_unique<ResetOutcome>(loop_, port_, notifier_);
  if (outcome->Start()) return outcome;
  notifier_.Message(MSG_RESET_LINK_CLOSED);
  return nullptr;
}

ResetOutcome::ResetOutcome(EventLoop& loop, Port& port, Notifier& notifier)
    : port_(port), notifier_(notifier), exchange_(loop, port, *this, TARGET_RESET_TIMEOUT_MS) {}

bool ResetOutcome::Start() {
  if (!port_.IsOpen()) return false;
  port_.SetOwner(&exchange_);
  attempts_ = 1;
  SendCommandText(RESET_COMMAND);
  port_.Purge();
  exchange_.LoadFrame();
  exchange_.TransmitFrame();
  return true;
}

void ResetOutcome::DecodeAnswer(Exchange& ex) {
  switch (ex.CheckAnswer()) {
    case ANSWER_OK:
      Finish(MSG_RESET_DONE);
      break;
    case ANSWER_STATUS_ERROR:
      Finish(MSG_RESET_REFUSED);
      break;
    default:  // not ours: keep waiting for the answer to "se 5"
      break;
  }
}

void ResetOutcome::OnAnswerTimeout(Exchange& ex) {
  if (port_.Owner() != &exchange_) {
    Finish(nullptr);  // a window took the port; the answer went there
    return;
  }
  if (attempts_ < 2 && port_.IsOpen()) {
    ++attempts_;
    ex.TransmitFrame();  // the same frame once more
    return;
  }
  Finish(MSG_RESET_NO_ANSWER);
}

void ResetOutcome::Finish(const char* message) {
  exchange_.StopTimers();
  port_.ReleaseOwner(&exchange_);
  finished_ = true;
  if (message != nullptr) notifier_.Message(message);
}
