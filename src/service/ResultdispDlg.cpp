#include "service/ResultdispDlg.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "service/ResultDisplay.h"
#include "widgets/ControlIds.h"
#include "widgets/LogEdit.h"

CResultdispDlg::CResultdispDlg() : QDialog(nullptr), display_(new CLogEdit(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Result Display"));
  display_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  display_->setAccessibleName(QStringLiteral("Result Display"));
  display_->setMinimumSize(560, 320);
  SetControlId(display_, ID_DISPLAY);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  SetControlId(ok, ID_OK);
  connect(ok, &QPushButton::clicked, this, &QWidget::close);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(display_, 1);
  layout->addLayout(buttons);
}

void CResultdispDlg::ShowAnswer(const uint8_t* frame, size_t length) {
  for (const std::string& line : ResultDisplayLines(frame, length)) {
    display_->Append(QString::fromStdString(line));
  }
}
