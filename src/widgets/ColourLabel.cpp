#include "widgets/ColourLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>

ColourLabel::ColourLabel(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  flash_timer_.setInterval(FLASH_PERIOD_MS);
  connect(&flash_timer_, &QTimer::timeout, this, [this] {
    shown_ = !shown_;
    update();
  });
}

void ColourLabel::SetText(const QString& text) {
  text_ = text;
  setAccessibleName(text);
  setAccessibleDescription(text);
  Refresh();
}

void ColourLabel::SetTextColour(const QColor& colour) {
  text_colour_ = colour;
  update();
}

void ColourLabel::SetBackgroundColour(const QColor& colour) {
  background_ = colour;
  update();
}

void ColourLabel::SetFont(const QString& face, int heightPx, bool bold) {
  QFont f = font();
  if (!face.isEmpty()) f.setFamily(face);
  if (heightPx > 0) f.setPixelSize(heightPx);
  f.setBold(bold);
  setFont(f);
  Refresh();
}

void ColourLabel::SetFontHeight(int heightPx) {
  SetFont(QString(), heightPx, font().bold());
}

void ColourLabel::SetFontBold(bool bold) {
  SetFont(QString(), 0, bold);
}

void ColourLabel::SetFlashing(bool on) {
  if (on) {
    if (!flash_timer_.isActive()) flash_timer_.start();
  } else {
    flash_timer_.stop();
    shown_ = true;
  }
  update();
}

void ColourLabel::SetLink(const QUrl& url) {
  link_ = url;
  setCursor(url.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
  setToolTip(url.isEmpty() ? QString() : url.toString());
  Refresh();
}

void ColourLabel::Refresh() {
  // QLabel's own text feeds size hints and accessibility; painting is ours.
  QLabel::setText(text_);
  update();
}

void ColourLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (background_.alpha() > 0) p.fillRect(rect(), background_);
  if (!shown_ || text_.isEmpty()) return;
  QFont f = font();
  f.setUnderline(!link_.isEmpty());
  p.setFont(f);
  p.setPen(text_colour_);
  p.drawText(contentsRect().adjusted(4, 0, -4, 0), static_cast<int>(alignment()), text_);
}

void ColourLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (!link_.isEmpty() && event->button() == Qt::LeftButton && rect().contains(event->pos())) {
    QDesktopServices::openUrl(link_);
  }
  QLabel::mouseReleaseEvent(event);
}
