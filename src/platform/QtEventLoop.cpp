#include "platform/QtEventLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QTimerEvent>
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/BlockingWait.h"

namespace {
const QEvent::Type WAKE_EVENT = static_cast<QEvent::Type>(QEvent::User + 0x51);
// A repaint chance at least this often during a busy wait.
constexpr uint32_t BUSY_SLICE_MS = 10;
// The loop whose windows the blocking waits of this thread keep painted.
QtEventLoop* g_painting_loop = nullptr;
}  // namespace

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {
  if (auto* app = QCoreApplication::instance()) {
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { quit_ = true; });
    // The quit request itself, seen even while a handler's wait loop pumps inside exec().
    app->installEventFilter(this);
  }
  g_painting_loop = this;
  SetBlockingWaitHook([this] { KeepPainting(); });
}

void QtEventLoop::KeepPainting() {
  // A blocking instrument wait is a busy wait too: paint, expose and resize only.
  ++busy_;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  --busy_;
  if (busy_ == 0) WakeLater();
}

QtEventLoop::~QtEventLoop() {
  if (g_painting_loop == this) {
    SetBlockingWaitHook({});
    g_painting_loop = nullptr;
  }
  if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
  for (const auto& [qtId, key] : by_qt_id_) killTimer(qtId);
  std::lock_guard<std::mutex> lock(queue_mutex_);
  queue_.clear();
  for (auto& call : sync_calls_) {
    std::lock_guard<std::mutex> callLock(call->mutex);
    call->done = true;
    call->done_cv.notify_all();
  }
}

uint32_t QtEventLoop::TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void QtEventLoop::BusyWait(uint32_t ms) {
  const uint32_t start = TickCount();
  ++busy_;
  uint32_t lastPaint = start;
  for (;;) {
    // Paint, expose, resize and layout work goes on; input stays queued for later.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const uint32_t now = TickCount();
    longest_gap_ms_ = std::max(longest_gap_ms_, now - lastPaint);
    lastPaint = now;
    const uint32_t elapsed = now - start;
    if (elapsed > ms) break;
    if (busyWaitAbort && busyWaitAbort()) break;
    const uint32_t left = ms + 1 - elapsed;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, BUSY_SLICE_MS)));
  }
  --busy_;
  if (busy_ == 0) WakeLater();  // what was held runs once the current handler returns
}

void QtEventLoop::SetTimer(TimerClient* client, int id, uint32_t ms) {
  KillTimer(client, id);
  const int qtId = startTimer(static_cast<int>(ms), Qt::PreciseTimer);
  if (qtId == 0) return;
  by_client_[{client, id}] = qtId;
  by_qt_id_[qtId] = {client, id};
}

void QtEventLoop::KillTimer(TimerClient* client, int id) {
  auto it = by_client_.find({client, id});
  if (it == by_client_.end()) return;
  killTimer(it->second);
  by_qt_id_.erase(it->second);
  by_client_.erase(it);
}

void QtEventLoop::timerEvent(QTimerEvent* event) {
  auto it = by_qt_id_.find(event->timerId());
  if (it == by_qt_id_.end()) return;  // killed while its event was queued
  const auto key = it->second;
  if (busy_ > 0) {
    Enqueue(Item{{}, key});
    return;
  }
  key.first->OnTimer(key.second);
}

void QtEventLoop::Enqueue(Item item) {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  if (!item.fn) {
    // A window timer is pending once at most, however often it fell due.
    for (const auto& queued : queue_) {
      if (!queued.fn && queued.timer == item.timer) return;
    }
  }
  queue_.push_back(std::move(item));
  if (!wake_posted_) {
    wake_posted_ = true;
    QCoreApplication::postEvent(this, new QEvent(WAKE_EVENT));
  }
}

void QtEventLoop::WakeLater() {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  if (queue_.empty() || wake_posted_) return;
  wake_posted_ = true;
  QCoreApplication::postEvent(this, new QEvent(WAKE_EVENT));
}

void QtEventLoop::RunQueued() {
  while (busy_ == 0) {
    Item item;
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      if (queue_.empty()) return;
      item = std::move(queue_.front());
      queue_.pop_front();
      // A call that opens a message box runs a loop of its own until the box is closed: what
      // was queued behind it (a lost port's stop after its message) runs in that loop meanwhile.
      if (!queue_.empty() && !wake_posted_) {
        wake_posted_ = true;
        QCoreApplication::postEvent(this, new QEvent(WAKE_EVENT));
      }
    }
    if (item.fn) {
      item.fn();
    } else if (by_client_.count(item.timer) != 0) {  // not killed while it waited
      item.timer.first->OnTimer(item.timer.second);
    }
  }
}

bool QtEventLoop::event(QEvent* event) {
  if (event->type() != WAKE_EVENT) return QObject::event(event);
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    wake_posted_ = false;
  }
  RunQueued();  // during a busy wait nothing runs; the wait wakes us again when it ends
  return true;
}

bool QtEventLoop::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) quit_ = true;
  if (busy_ > 0 && event->type() == QEvent::Close && watched->isWidgetType()) {
    // Closing a window in the middle of its own busy wait would pull the logic away under the
    // sequencer: the close is asked again once the wait is over.
    event->ignore();
    QPointer<QObject> widget(watched);
    Enqueue(Item{[widget] {
                   if (widget) QMetaObject::invokeMethod(widget, "close", Qt::DirectConnection);
                 },
                 {}});
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void QtEventLoop::Post(std::function<void()> fn) {
  if (!fn) return;
  Enqueue(Item{std::move(fn), {}});
}

void QtEventLoop::SendSync(std::function<void()> fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  auto call = std::make_shared<SyncCall>();
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    sync_calls_.push_back(call);
  }
  Post([this, call, fn = std::move(fn)] {
    fn();
    std::lock_guard<std::mutex> lock(queue_mutex_);
    sync_calls_.erase(std::remove(sync_calls_.begin(), sync_calls_.end(), call), sync_calls_.end());
    std::lock_guard<std::mutex> callLock(call->mutex);
    call->done = true;
    call->done_cv.notify_all();
  });
  std::unique_lock<std::mutex> lock(call->mutex);
  call->done_cv.wait(lock, [&] { return call->done; });
}

bool QtEventLoop::PumpMessages() {
  if (quit_) return false;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return !quit_;
}
