#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Measures how long a window goes without painting. While running it asks the watched widget
// for a repaint every period and records the longest interval between two of its paints: the
// longest time the user-interface thread could not have redrawn the window.
class RepaintWatch : public QObject {
 public:
  explicit RepaintWatch(QWidget* watched, int periodMs = 20);

  void Start();  // a new measurement
  void Stop();
  bool Running() const { return timer_.isActive(); }
  qint64 LongestGapMs() const { return longest_ms_; }
  qint64 Paints() const { return paints_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* watched_;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ms_ = -1;
  qint64 longest_ms_ = 0;
  qint64 paints_ = 0;
};
