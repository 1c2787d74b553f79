#include "widgets/MessageBoxNotifier.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

void ShowStationMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(APPLICATION_TITLE), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

void MessageBoxNotifier::Message(const std::string& text) {
  // Owned by the window the operator is working in, so it comes up in front of it.
  ShowStationMessage(QApplication::activeWindow(), QString::fromStdString(text));
}
