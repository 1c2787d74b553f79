#include "service/EepmapDlg.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/ControlIds.h"

ToolWindow* CreateEepmapDlg(StationContext& context) {
  return new CEepmapDlg(context);
}

CEepmapDlg::CEepmapDlg(StationContext& context)
    : ToolWindow(context),
      list_(new QListWidget(this)),
      logic_(context.loop, context.handset, context.notifier, *this) {
  setWindowTitle(QString::fromUtf8(EEPROM_MAP_TITLE));
  // A byte such as 0x0A must not make its line taller than the others.
  list_->setUniformItemSizes(true);
  list_->setAccessibleName(QString::fromUtf8(EEPROM_MAP_TITLE));
  list_->setMinimumSize(260, 360);
  SetControlId(list_, ID_LIST);

  auto* read = new QPushButton(QStringLiteral("READ"), this);
  auto* clear = new QPushButton(QStringLiteral("CLEAR"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  SetControlId(read, ID_READ);
  SetControlId(clear, ID_CLEAR);
  SetControlId(ok, ID_OK);
  connect(read, &QPushButton::clicked, this, [this] { logic_.Read(); });
  connect(clear, &QPushButton::clicked, this, [this] { logic_.Clear(); });
  connect(ok, &QPushButton::clicked, this, &QWidget::close);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(read);
  buttons->addWidget(clear);
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* top = new QHBoxLayout(this);
  top->addWidget(list_, 1);
  top->addLayout(buttons);

  logic_.OnInit();
}

void CEepmapDlg::InsertLine(int position, const std::string& text) {
  list_->insertItem(position,
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void CEepmapDlg::ClearLines() {
  list_->clear();
}
