#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/EventLoop.h"

// The station's message loop in the desktop program: window timers are QObject timers, posted
// work and SendSync hand-overs go through one queue of this object.
//
// BusyWait stands for the station's busy waits, which dispatch nothing, but it keeps the windows
// painted: it lets Qt deliver paint, expose and resize work while user input stays queued and
// station timers and hand-overs are held back; a window's close box is held too. What was held
// runs after the wait, in the order it came (a periodic timer that fired several times counts
// once, as window timers do). Blocking instrument I/O and driver delays on this thread keep the
// windows painted the same way (platform/BlockingWait.h).
class QtEventLoop : public QObject, public EventLoop {
 public:
  explicit QtEventLoop(QObject* parent = nullptr);
  ~QtEventLoop() override;  // SendSync callers still waiting are released without their function

  uint32_t TickCount() override;
  void BusyWait(uint32_t ms) override;
  void SetTimer(TimerClient* client, int id, uint32_t ms) override;
  void KillTimer(TimerClient* client, int id) override;
  void Post(std::function<void()> fn) override;
  void SendSync(std::function<void()> fn) override;
  // Dispatches what waits; false once the application was asked to quit, also when that
  // happened inside this very call.
  bool PumpMessages() override;

  // One slice of a blocking wait elsewhere (instrument I/O): paints as BusyWait does.
  void KeepPainting();

  // Ends a busy wait early once it holds (looked at every slice): the station's waits are for a
  // handset, and waiting out seconds for a port that has gone helps no one.
  std::function<bool()> busyWaitAbort;

  void Quit() { quit_ = true; }
  bool Waiting() const { return busy_ > 0; }  // inside BusyWait
  // Longest stretch of a BusyWait without a chance to repaint, in ms (measurement).
  uint32_t LongestBusyGapMs() const { return longest_gap_ms_; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  struct SyncCall {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
  };
  struct Item {
    std::function<void()> fn;            // posted work, or
    std::pair<TimerClient*, int> timer;  // a timer that fell due (fn empty)
  };

  void Enqueue(Item item);
  void RunQueued();  // runs what waits, unless a busy wait began meanwhile
  void WakeLater();

  std::map<std::pair<TimerClient*, int>, int> by_client_;  // -> Qt timer id
  std::map<int, std::pair<TimerClient*, int>> by_qt_id_;
  std::mutex queue_mutex_;
  std::deque<Item> queue_;
  bool wake_posted_ = false;  // guarded by queue_mutex_
  std::deque<std::shared_ptr<SyncCall>> sync_calls_;
  int busy_ = 0;
  uint32_t longest_gap_ms_ = 0;
  bool quit_ = false;
};
