#include "service/ManualCalDlg.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/Bcommand.h"
#include "widgets/ControlIds.h"
#include "widgets/LogEdit.h"

CManualCalDlg::CManualCalDlg(StationContext& context)
    : ToolWindow(context),
      command_line_(new QLineEdit(this)),
      display_(new CLogEdit(this)),
      logic_(context.loop, context.handset, context.notifier, *this) {
  setWindowTitle(QStringLiteral("MANUAL CAL "));
  setProperty("dialogId", IDD);

  command_line_->setMaxLength(static_cast<int>(COMMAND_LINE_MAX));
  command_line_->setAccessibleName(QStringLiteral("command line"));
  SetControlId(command_line_, ID_COMMAND_LINE);
  auto* send = new QPushButton(QStringLiteral("SEND"), this);
  SetControlId(send, ID_SEND);
  auto* clear = new QPushButton(QStringLiteral("CLEAR"), this);
  SetControlId(clear, ID_CLEAR);
  auto* exit = new QPushButton(QStringLiteral("EXIT"), this);
  SetControlId(exit, ID_EXIT);
  for (QPushButton* b : {send, clear, exit}) b->setAutoDefault(false);
  // A click on "SEND" or "CLEAR" leaves the keyboard in the command line; Tab still reaches them.
  send->setFocusPolicy(Qt::TabFocus);
  clear->setFocusPolicy(Qt::TabFocus);

  // The template blocks line up in columns only in a fixed-pitch font.
  display_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  display_->setAccessibleName(QStringLiteral("display"));
  display_->setMinimumSize(560, 300);
  SetControlId(display_, ID_DISPLAY);
  auto* label = new QLabel(QStringLiteral("display"), this);
  label->setBuddy(display_);

  connect(send, &QPushButton::clicked, this, &CManualCalDlg::OnSend);
  connect(clear, &QPushButton::clicked, this, [this] { logic_.Clear(); });
  connect(exit, &QPushButton::clicked, this, &QWidget::close);

  auto* top = new QHBoxLayout;
  top->addWidget(command_line_, 1);
  top->addWidget(send);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(label);
  bottom->addStretch();
  bottom->addWidget(clear);
  bottom->addWidget(exit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(display_, 1);
  layout->addLayout(bottom);

  command_line_->setFocus();
  logic_.OnInit();
}

bool CManualCalDlg::OnEnter() {
  if (!command_line_->hasFocus()) return false;
  OnSend();
  return true;
}

void CManualCalDlg::OnSend() {
  logic_.Send(command_line_->text().toStdString());
}

void CManualCalDlg::AppendDisplay(const std::string& text) {
  display_->Append(QString::fromStdString(text));
}

void CManualCalDlg::ClearDisplay() {
  display_->Clear();
}

void CManualCalDlg::ClearCommandLine() {
  command_line_->clear();
}

ToolWindow* CreateManualCalDlg(StationContext& context) {
  return new CManualCalDlg(context);
}
