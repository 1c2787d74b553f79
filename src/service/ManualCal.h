#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/Exchange.h"

class Notifier;

// What the manual command window shows: its display and its command line.
class ManualCalView {
 public:
  virtual ~ManualCalView() = default;
  virtual void AppendDisplay(const std::string& text) = 0;  // one Append of the display
  virtual void ClearDisplay() = 0;
  virtual void ClearCommandLine() = 0;
};

// The manual command window's logic: any typed line goes to the handset as it is, and each
// answer is written to the display in plain text (AnswerDisplay). Answer time-out 3000 ms.
class ManualCal : private ExchangeClient {
 public:
  static constexpr uint32_t ANSWER_TIMEOUT_MS = 3000;

  // What became of the last line sent.
  enum class Outcome { NONE, PENDING, ANSWERED, OTHER_ANSWER, NO_RESPONSE, NOT_SENT, PORT_LOST };

  ManualCal(EventLoop& loop, Port& port, Notifier& notifier, ManualCalView& view,
            uint32_t answerTimeoutMs = ANSWER_TIMEOUT_MS);

  void OnInit() { TakePort(); }
  void TakePort();
  // "SEND" and Enter in the command line: at most 99 characters of it are taken.
  void Send(std::string_view commandLine);
  void Clear();  // "CLEAR"

  Outcome LastOutcome() const { return outcome_; }
  Exchange& GetExchange() { return exchange_; }

  // Every frame handed to the decoder, before its lines are written (tesmira-cli prints it).
  std::function<void(Exchange& ex, AnswerClass answerClass)> onFrame;

 private:
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;
  void OnPortLost(Exchange& ex) override;
  void Write(const std::string& text);

  Notifier& notifier_;
  ManualCalView& view_;
  Exchange exchange_;
  Outcome outcome_ = Outcome::NONE;
};
