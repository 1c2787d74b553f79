#pragma once

#include <cstdint>
#include <memory>

#include "link/Exchange.h"
#include "link/Port.h"
#include "platform/EventLoop.h"
#include "platform/Notifier.h"

// The Target menu: the handset link on COM1 at 115200 baud, opened and closed by the operator.
constexpr int TARGET_PORT = 1;
constexpr uint32_t TARGET_BAUD = 115200;
constexpr uint32_t TARGET_RESET_TIMEOUT_MS = 3000;

void TargetOpen(Port& port,
                Notifier& notifier);  // "serial port opened..." / "serial port error !!!"
void TargetClose(Port& port, Notifier& notifier);  // "Target Disconnected..."
void TargetRelease(Port& port);                    // Exit and the close box: no message

// The EEPROM-reset dialog's logic. It owns the port while open; "예" ends it and sends "se 5"
// (or says the link is closed). The dialog ends before the handset can answer, so the request
// is carried by a ResetOutcome that outlives it.
class TargetReset : private ExchangeClient {
 public:
  TargetReset(EventLoop& loop, Port& port, Notifier& notifier);

  void OnInit();  // ring and lengths 0; owner of the port
  // "예" after the dialog has ended: the outcome watcher that sent "se 5", or none when the
  // link is closed (the operator was told).
  std::unique_ptr<class ResetOutcome> Yes();

 private:
  void DecodeAnswer(Exchange&) override {}
  void OnAnswerTimeout(Exchange& ex) override { ex.StopTimers(); }

  EventLoop& loop_;
  Port& port_;
  Notifier& notifier_;
  Exchange exchange_;
};

// Carries "se 5" after the dialog is gone and reports how it ended: "EEPROM 리셋되었습니다." when
// the handset executed it, "Status is error. 명령이 정상적으로 수행되지 못했습니다." when it
// refused; without an answer the same frame once more after 3000 ms, then "Target과 통신이
// 끊겼습니다. 다시 시도해 주세요!". It owns the port only for this; when a window takes the port
// meanwhile, the answer is that window's and the watcher ends without a word.
class ResetOutcome : private ExchangeClient {
 public:
  ResetOutcome(EventLoop& loop, Port& port, Notifier& notifier);

  bool Start();  // false when the link is closed (nothing sent)
  bool Finished() const { return finished_; }
  int Attempts() const { return attempts_; }

 private:
  void DecodeAnswer(Exchange& ex) override;
  void OnAnswerTimeout(Exchange& ex) override;
  void Finish(const char* message);

  Port& port_;
  Notifier& notifier_;
  Exchange exchange_;
  int attempts_ = 0;
  bool finished_ = false;
};

inline constexpr char RESET_COMMAND[] = "se 5";
inline constexpr char MSG_PORT_OPENED[] = "serial port opened...";
inline constexpr char MSG_PORT_ERROR[] = "serial port error !!!";
inline constexpr char MSG_DISCONNECTED[] = "Target Disconnected...";
inline constexpr char MSG_RESET_LINK_CLOSED[] =
    "Serial Comm이 연결되어 있지 않습니다. Connect해 주세요";
inline constexpr char MSG_RESET_DONE[] = "EEPROM 리셋되었습니다.";
inline constexpr char MSG_RESET_REFUSED[] =
    "Status is error. 명령이 정상적으로 수행되지 못했습니다.";
inline constexpr char MSG_RESET_NO_ANSWER[] = "Target과 통신이 끊겼습니다. 다시 시도해 주세요!";
