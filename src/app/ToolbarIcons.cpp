#include "app/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/MenuTable.h"

namespace {

void Page(QPainter& p, QRectF r) {
  QPainterPath page;
  page.moveTo(r.left(), r.top());
  page.lineTo(r.right() - 4, r.top());
  page.lineTo(r.right(), r.top() + 4);
  page.lineTo(r.right(), r.bottom());
  page.lineTo(r.left(), r.bottom());
  page.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
  p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

void Draw(QPainter& p, int id) {
  const QPen ink(QColor(30, 30, 30), 1.0);
  p.setPen(ink);
  switch (id) {
    case ID_FILE_NEW:
      Page(p, QRectF(3.5, 1.5, 10, 12));
      break;
    case ID_FILE_OPEN: {
      p.setBrush(QColor(240, 200, 80));
      p.drawRect(QRectF(1.5, 4.5, 12, 8));
      p.drawRect(QRectF(1.5, 3.5, 5, 2));
      p.setBrush(QColor(250, 220, 120));
      QPolygonF flap;
      flap << QPointF(3.5, 7.5) << QPointF(15.5, 7.5) << QPointF(13.5, 12.5) << QPointF(1.5, 12.5);
      p.drawPolygon(flap);
      break;
    }
    case ID_FILE_SAVE:
      p.setBrush(QColor(60, 90, 170));
      p.drawRect(QRectF(1.5, 1.5, 12, 12));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 1.5, 6, 4));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(3.5, 8.5, 8, 5));
      break;
    case ID_EDIT_CUT:
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(2.5, 9.5, 4, 4));
      p.drawEllipse(QRectF(9.5, 9.5, 4, 4));
      p.drawLine(QPointF(5.5, 10), QPointF(10.5, 1.5));
      p.drawLine(QPointF(10.5, 10), QPointF(5.5, 1.5));
      break;
    case ID_EDIT_COPY:
      Page(p, QRectF(1.5, 1.5, 8, 9));
      Page(p, QRectF(6.5, 4.5, 8, 9));
      break;
    case ID_EDIT_PASTE:
      p.setBrush(QColor(180, 130, 70));
      p.drawRect(QRectF(1.5, 2.5, 10, 11));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(4.5, 1.5, 4, 2));
      Page(p, QRectF(6.5, 5.5, 8, 9));
      break;
    case ID_FILE_PRINT:
      Page(p, QRectF(4.5, 0.5, 7, 6));
      p.setBrush(QColor(190, 190, 190));
      p.drawRect(QRectF(1.5, 6.5, 13, 5));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(4.5, 9.5, 7, 4));
      break;
    case ID_APP_ABOUT:
      p.setBrush(QColor(40, 110, 200));
      p.drawEllipse(QRectF(1.5, 0.5, 13, 13));
      p.setPen(Qt::white);
      p.drawText(QRectF(1.5, 0.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
      break;
    case ID_CONTEXT_HELP: {
      QPolygonF arrow;
      arrow << QPointF(1.5, 1.5) << QPointF(1.5, 12.5) << QPointF(4.5, 9.5) << QPointF(6.5, 13.5)
            << QPointF(8, 12.8) << QPointF(6.2, 9) << QPointF(9.5, 9);
      p.setBrush(Qt::white);
      p.drawPolygon(arrow);
      p.setPen(QColor(40, 110, 200));
      p.drawText(QRectF(8, 0, 8, 10), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    default:
      p.setBrush(QColor(210, 210, 210));
      p.drawRect(QRectF(3.5, 3.5, 9, 8));
      break;
  }
}

}  // namespace

QIcon ToolbarIcon(int commandId) {
  QIcon icon;
  for (const qreal scale : {1.0, 2.0}) {
    QPixmap pixmap(QSize(16, 15) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    Draw(p, commandId);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}
