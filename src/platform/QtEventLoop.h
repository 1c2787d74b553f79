#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <utility>

#include "platform/EventLoop.h"

// The station's message loop in the desktop program: window timers are QObject timers,
// SendSync is a blocking queued call, and BusyWait blocks the thread without dispatching
// anything, so the order of timers, answers and input stays that of the station.
class QtEventLoop : public QObject, public EventLoop {
 public:
  explicit QtEventLoop(QObject* parent = nullptr);
  ~QtEventLoop() override;

  uint32_t TickCount() override;
  void BusyWait(uint32_t ms) override;
  void SetTimer(TimerClient* client, int id, uint32_t ms) override;
  void KillTimer(TimerClient* client, int id) override;
  void Post(std::function<void()> fn) override;
  void SendSync(std::function<void()> fn) override;
  bool PumpMessages() override;

  void Quit() { quit_ = true; }

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  std::map<std::pair<TimerClient*, int>, int> by_client_;  // -> Qt timer id
  std::map<int, std::pair<TimerClient*, int>> by_qt_id_;
  bool quit_ = false;
};
