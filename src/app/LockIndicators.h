#pragma once

#include <QObject>
#include <QTimer>

class QLabel;

// The status bar's Caps Lock, Num Lock and Scroll Lock panes: "CAP", "NUM", "SCRL" while the
// lock is on, blank while off. The state is read from the X server's keyboard indicators; on a
// display without them (offscreen, Wayland) the panes stay blank.
class LockIndicators : public QObject {
  Q_OBJECT

 public:
  LockIndicators(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent);
  void Refresh();
  static bool Available();

 private:
  QLabel* caps_;
  QLabel* num_;
  QLabel* scroll_;
  QTimer timer_;
};
