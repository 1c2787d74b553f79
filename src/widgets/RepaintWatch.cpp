#include "widgets/RepaintWatch.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

RepaintWatch::RepaintWatch(QWidget* watched, int periodMs) : QObject(watched), watched_(watched) {
  timer_.setInterval(periodMs);
  connect(&timer_, &QTimer::timeout, this, [this] { watched_->update(); });
  watched_->installEventFilter(this);
}

void RepaintWatch::Start() {
  clock_.start();
  last_ms_ = 0;
  longest_ms_ = 0;
  paints_ = 0;
  timer_.start();
}

void RepaintWatch::Stop() {
  if (!timer_.isActive()) return;
  timer_.stop();
  // The stretch since the last paint counts too.
  longest_ms_ = std::max(longest_ms_, clock_.elapsed() - last_ms_);
}

bool RepaintWatch::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watched_ && event->type() == QEvent::Paint && timer_.isActive()) {
    const qint64 now = clock_.elapsed();
    longest_ms_ = std::max(longest_ms_, now - last_ms_);
    last_ms_ = now;
    ++paints_;
  }
  return QObject::eventFilter(watched, event);
}
