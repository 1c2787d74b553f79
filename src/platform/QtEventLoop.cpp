#include "platform/QtEventLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimerEvent>
#include <chrono>
#include <thread>

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {
  if (auto* app = QCoreApplication::instance()) {
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { quit_ = true; });
  }
}

QtEventLoop::~QtEventLoop() {
  for (const auto& [qtId, key] : by_qt_id_) killTimer(qtId);
}

uint32_t QtEventLoop::TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void QtEventLoop::BusyWait(uint32_t ms) {
  // Blocks like the busy wait it stands for, but sleeps instead of burning a core.
  const uint32_t start = TickCount();
  while (TickCount() - start <= ms) {
    const uint32_t elapsed = TickCount() - start;
    const uint32_t left = ms + 1 - elapsed;
    std::this_thread::sleep_for(std::chrono::milliseconds(left > 5 ? left - 1 : 1));
  }
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
  const auto [client, id] = it->second;
  client->OnTimer(id);
}

void QtEventLoop::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtEventLoop::SendSync(std::function<void()> fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(this, std::move(fn), Qt::BlockingQueuedConnection);
}

bool QtEventLoop::PumpMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return !quit_;
}
