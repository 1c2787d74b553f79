#include "app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/MenuTable.h"
#include "app/ToolbarIcons.h"
#include "widgets/ControlIds.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Tesmira 정보"));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* icon = new QLabel(this);
  icon->setPixmap(ToolbarIcon(ID_APP_ABOUT).pixmap(32, 30));
  auto* name = new QLabel(QStringLiteral("Tesmira  Repair V1.5 1017"), this);
  auto* what = new QLabel(QStringLiteral("Product Line Test SW V1.6\n"
                                         "GSM 900 / DCS 1800 handset calibration, repair and "
                                         "production station"),
                          this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  SetControlId(buttons->button(QDialogButtonBox::Ok), 1);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(name, 0, 1);
  grid->addWidget(what, 1, 1);
  grid->addWidget(buttons, 2, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);
}
