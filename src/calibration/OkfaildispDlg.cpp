#include "calibration/OkfaildispDlg.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/ControlIds.h"

COkfaildispDlg::COkfaildispDlg(const QString& message, QWidget* parent) : QDialog(parent) {
  setModal(true);
  setWindowTitle(QString());
  // A frame without a caption bar: the message is the whole point of the box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);

  message_ = new QPlainTextEdit(message, this);
  message_->setReadOnly(true);
  message_->setAccessibleName(QStringLiteral("Result"));
  QFont big = message_->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  message_->setFont(big);
  message_->setFixedSize(320, 90);
  SetControlId(message_, ID_MESSAGE);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  SetControlId(ok, ID_OK);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(message_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  ok->setFocus();
}

QString COkfaildispDlg::Message() const {
  return message_->toPlainText();
}
