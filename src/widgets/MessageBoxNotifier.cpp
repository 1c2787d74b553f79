#include "widgets/MessageBoxNotifier.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

void ShowStationMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(APPLICATION_TITLE), text, QMessageBox::Ok,
                  parent);
  // The box sizes itself to its text alone; a short message would cut the caption, which
  // operators read to tell the station's boxes from the desktop's.
  const int captionWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 120;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

void MessageBoxNotifier::Message(const std::string& text) {
  // Owned by the window the operator is working in, so it comes up in front of it.
  ShowStationMessage(QApplication::activeWindow(), QString::fromStdString(text));
}
