#include "instruments/RFConfigDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "instruments/InstrumentState.h"
#include "widgets/ControlIds.h"

namespace {

const RfConfigBox& BoxOf(int id) {
  for (const auto& box : RfConfigBoxes()) {
    if (box.controlId == id) return box;
  }
  return RfConfigBoxes().front();  // every id used below is in the table
}

}  // namespace

CRFConfigDlg::CRFConfigDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(RF_CONFIG_CAPTION));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  auto makeBox = [this](int id) {
    const RfConfigBox& spec = BoxOf(id);
    auto* box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);  // typed text is used, never added to the list
    for (const auto& item : spec.items) box->addItem(QString::fromStdString(item));
    box->setCurrentIndex(box->findText(QString::fromStdString(spec.defaultItem)));
    box->setAccessibleName(QStringLiteral("%1 %2").arg(spec.group, spec.label));
    box->setMinimumContentsLength(6);
    SetControlId(box, id);
    boxes_[id] = box;
    return box;
  };

  // Path losses: left, middle and right are sub-bands 1, 2 and 3 of the band.
  auto lossGroup = [&](const char* title, int left, int middle, int right) {
    auto* group = new QGroupBox(QString::fromUtf8(title), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(makeBox(left), 0, 0);
    grid->addWidget(makeBox(middle), 0, 1);
    grid->addWidget(makeBox(right), 0, 2);
    auto* note = new QLabel(QString::fromUtf8(RF_LOSS_NOTE), group);
    note->setAlignment(Qt::AlignRight);
    grid->addWidget(note, 1, 0, 1, 3);
    return group;
  };
  // One TCH box in a group named for its sub-band.
  auto tchGroup = [&](const char* title, int id) {
    auto* group = new QGroupBox(QString::fromUtf8(title), this);
    auto* row = new QHBoxLayout(group);
    auto* label = new QLabel(QStringLiteral("TCH"), group);
    QComboBox* box = makeBox(id);
    label->setBuddy(box);
    row->addWidget(label);
    row->addWidget(box);
    return group;
  };
  auto labelled = [&](const char* text, int id, QWidget* owner) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QString::fromUtf8(text), owner);
    QComboBox* box = makeBox(id);
    label->setBuddy(box);
    row->addWidget(label);
    row->addWidget(box);
    return row;
  };

  auto* apc = new QGroupBox(QStringLiteral("APC Calibration"), this);
  auto* apcGrid = new QGridLayout(apc);
  apcGrid->addLayout(labelled("GSM BCH", 1042, apc), 0, 0);
  apcGrid->addWidget(tchGroup("PGSM1", 1043), 0, 1);
  apcGrid->addWidget(tchGroup("PGSM2", 1384), 0, 2);
  apcGrid->addWidget(tchGroup("PGSM3", 1389), 0, 3);
  apcGrid->addWidget(tchGroup("EGSM", 1365), 0, 4);
  apcGrid->addLayout(labelled("DCS BCH", 1411, apc), 1, 0);
  apcGrid->addWidget(tchGroup("DCS1", 1049), 1, 1);
  apcGrid->addWidget(tchGroup("DCS2", 1409), 1, 2);
  apcGrid->addWidget(tchGroup("DCS3", 1410), 1, 3);

  auto* testSet = new QGroupBox(QStringLiteral("Test set"), this);
  testSet->setLayout(labelled("TYPE", 1052, testSet));
  auto* supply = new QGroupBox(QStringLiteral("Power Supply"), this);
  supply->setLayout(labelled("TYPE", 1053, supply));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  SetControlId(buttons->button(QDialogButtonBox::Ok), 1);  // IDOK
  SetControlId(buttons->button(QDialogButtonBox::Cancel), 2);
  connect(buttons, &QDialogButtonBox::accepted, this, &CRFConfigDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CRFConfigDlg::reject);

  auto* top = new QGridLayout(this);
  top->addWidget(lossGroup("GSM LOSS", 1054, 1051, 1055), 0, 0, 1, 2);
  top->addWidget(lossGroup("DCS LOSS", 1046, 1045, 1047), 0, 2, 1, 2);
  top->addWidget(apc, 1, 0, 1, 4);
  top->addWidget(testSet, 2, 0, 1, 2);
  top->addWidget(supply, 2, 2, 1, 2);
  top->addWidget(buttons, 3, 0, 1, 4);
  top->setSizeConstraint(QLayout::SetFixedSize);
}

QComboBox* CRFConfigDlg::Box(int controlId) const {
  const auto it = boxes_.find(controlId);
  return it == boxes_.end() ? nullptr : it->second;
}

void CRFConfigDlg::accept() {
  std::map<int, std::string> texts;
  for (const auto& [id, box] : boxes_) texts[id] = box->currentText().toStdString();
  ApplyRfConfig(form_.Convert(texts));
  QDialog::accept();
}
