#include "widgets/SplashWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QThread>
#include <cmath>

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setFixedSize(520, 300);
  setAccessibleName(QStringLiteral("Tesmira"));
  setAccessibleDescription(QStringLiteral("Repair V1.5 1017"));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void SplashWindow::ShowFor(int ms) {
  show();
  raise();
  QElapsedTimer t;
  t.start();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  while (t.elapsed() < ms) {
    QThread::msleep(static_cast<unsigned long>(std::min<qint64>(20, ms - t.elapsed())));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height());
  sky.setColorAt(0, QColor(10, 24, 48));
  sky.setColorAt(1, QColor(2, 6, 14));
  p.fillRect(rect(), sky);

  // Two carriers, 900 and 1800 MHz, drawn as a GSM burst envelope over a sine.
  const QColor bands[] = {QColor(0, 255, 64), QColor(128, 255, 0)};
  for (int band = 0; band < 2; ++band) {
    QPainterPath wave;
    const double base = 200 + band * 34;
    for (int x = 0; x <= width(); x += 2) {
      const double ramp =
          std::clamp((x - 40) / 40.0, 0.0, 1.0) * std::clamp((width() - 40 - x) / 40.0, 0.0, 1.0);
      const double y = base - ramp * 22 * std::sin(x / (band == 0 ? 9.0 : 4.5));
      if (x == 0) {
        wave.moveTo(x, y);
      } else {
        wave.lineTo(x, y);
      }
    }
    QColor c = bands[band];
    c.setAlpha(150);
    p.setPen(QPen(c, 1.6));
    p.drawPath(wave);
  }

  // Signal bars.
  for (int i = 0; i < 5; ++i) {
    const int h = 10 + i * 9;
    p.fillRect(QRect(width() - 130 + i * 16, 86 - h, 10, h), QColor(0, 255, 64, 90 + i * 30));
  }

  QFont title = font();
  title.setPixelSize(54);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(235, 245, 255));
  p.drawText(QRect(32, 28, width() - 64, 70), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Tesmira"));
  QFont sub = font();
  sub.setPixelSize(15);
  p.setFont(sub);
  p.setPen(QColor(160, 190, 220));
  p.drawText(QRect(34, 98, width() - 64, 22), Qt::AlignLeft,
             QStringLiteral("GSM 900 / DCS 1800 handset calibration, repair and production"));
  p.setPen(QColor(120, 140, 160));
  p.drawText(QRect(34, height() - 34, width() - 68, 20), Qt::AlignLeft,
             QStringLiteral("Repair V1.5 1017"));
  p.drawText(QRect(34, height() - 34, width() - 68, 20), Qt::AlignRight,
             QStringLiteral("Product Line Test SW V1.6"));
  p.setPen(QColor(40, 70, 110));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}
