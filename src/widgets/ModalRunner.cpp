#include "widgets/ModalRunner.h"

#include <QDialog>
#include <QFileDialog>

int ModalRunner::Run(QDialog& dialog) {
  return dialog.exec();
}

QString ModalRunner::ChooseFile(QWidget* parent, bool forSaving) {
  return forSaving ? QFileDialog::getSaveFileName(parent) : QFileDialog::getOpenFileName(parent);
}
