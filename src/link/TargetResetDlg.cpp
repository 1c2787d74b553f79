#include "link/TargetResetDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/ControlIds.h"
#include "widgets/ToolWindow.h"

CTargetResetDlg::CTargetResetDlg(StationContext& context, QWidget* parent)
    : QDialog(parent), logic_(context.loop, context.handset, context.notifier) {
  setWindowTitle(QStringLiteral("E2P Reset"));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* text = new QLabel(
      QStringLiteral("If you reset Target, RF Cal data is all erased. Really Do you Erase?"), this);
  text->setWordWrap(true);
  auto* yes = new QPushButton(QStringLiteral("예"), this);
  auto* no = new QPushButton(QStringLiteral("아니오"), this);
  SetControlId(yes, ID_YES);
  SetControlId(no, ID_NO);
  no->setDefault(true);  // Enter never erases the calibration by accident
  connect(yes, &QPushButton::clicked, this, [this] {
    yes_ = true;
    done(RESULT_CODE);
  });
  connect(no, &QPushButton::clicked, this, [this] { done(RESULT_CODE); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(yes);
  buttons->addWidget(no);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  logic_.OnInit();
}
