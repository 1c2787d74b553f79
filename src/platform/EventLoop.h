#pragma once

#include <cstdint>
#include <functional>

// Receives the window timers of the station (TIMER_POLL, TIMER_ANSWER, ...).
class TimerClient {
 public:
  virtual ~TimerClient() = default;
  virtual void OnTimer(int id) = 0;
};

// The user-interface thread's message loop, seen by the station logic. The desktop program runs
// it on Qt; tests and the simulated bench run it in virtual time (SimLoop).
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  virtual uint32_t TickCount() = 0;  // ms, wraps like GetTickCount
  // Returns once more than ms have passed; dispatches no timer, answer or user input meanwhile.
  virtual void BusyWait(uint32_t ms) = 0;
  // Periodic; setting an armed timer again replaces it (new period, counted from now).
  virtual void SetTimer(TimerClient* client, int id, uint32_t ms) = 0;
  virtual void KillTimer(TimerClient* client, int id) = 0;
  // Runs fn later on the loop thread. Safe from any thread.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs fn on the loop thread and blocks the calling thread until it has returned.
  virtual void SendSync(std::function<void()> fn) = 0;
  // Dispatches what is waiting; false once quit was asked.
  virtual bool PumpMessages() = 0;
};
