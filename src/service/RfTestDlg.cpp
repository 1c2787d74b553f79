#include "service/RfTestDlg.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/ControlIds.h"

ToolWindow* CreateRfTestDlg(StationContext& context) {
  return new CRfTestDlg(context);
}

CRfTestDlg::CRfTestDlg(StationContext& context)
    : ToolWindow(context), logic_(context.loop, context.handset, context.notifier, *this) {
  setWindowTitle(QString::fromUtf8(RF_TEST_TITLE));

  auto makeField = [this](int id, const char* name, QWidget* owner) {
    auto* edit = new QLineEdit(owner);
    edit->setAccessibleName(QString::fromUtf8(name));
    edit->setMaximumWidth(90);
    SetControlId(edit, id);
    fields_[id] = edit;
    return edit;
  };

  struct FieldRow {
    int id;
    const char* label;
    const char* name;
  };
  auto makeGroup = [&](RfGroup group, std::initializer_list<FieldRow> rows) {
    auto* box = new QGroupBox(QString::fromUtf8(RfGroupTitle(group)), this);
    auto* layout = new QVBoxLayout(box);
    auto* form = new QFormLayout;
    for (const FieldRow& row : rows) {
      auto* label = new QLabel(QString::fromUtf8(row.label), box);
      QLineEdit* edit = makeField(row.id, row.name, box);
      label->setBuddy(edit);
      form->addRow(label, edit);
    }
    layout->addLayout(form);
    return std::pair{box, layout};
  };

  auto [tx, txLayout] = makeGroup(RfGroup::TX_TEST, {{ID_TX_CHANNEL, "Channel", "TX channel"},
                                                     {ID_TX_POWER_LEVEL, "P/L", "TX power level"},
                                                     {ID_APC_DAC, "APC DAC", "APC DAC value"}});
  auto [rx, rxLayout] = makeGroup(RfGroup::RX_CONTINUOUS, {{ID_RX_CHANNEL, "Channel", "RX channel"},
                                                           {ID_AGC, "AGC", "AGC value"}});
  auto [afc, afcLayout] =
      makeGroup(RfGroup::AFC_DAC, {{ID_AFC_CHANNEL, "Channel", "AFC channel"},
                                   {ID_AFC_POWER_LEVEL, "P/L", "AFC power level"},
                                   {ID_AFC_DAC, "AFC DAC", "AFC DAC value"}});
  const std::map<RfGroup, QVBoxLayout*> groupLayouts = {{RfGroup::TX_TEST, txLayout},
                                                        {RfGroup::RX_CONTINUOUS, rxLayout},
                                                        {RfGroup::AFC_DAC, afcLayout}};

  auto* bottom = new QGridLayout;
  int place = 0;
  for (const RfButtonSpec& spec : RfButtons()) {
    auto* button = new QPushButton(QString::fromUtf8(spec.caption), this);
    // Enter is the free command line's: no button takes it as a default.
    button->setAutoDefault(false);
    SetControlId(button, ID_FIRST_BUTTON + place++);
    buttons_[spec.button] = button;
    const auto it = groupLayouts.find(spec.group);
    if (it != groupLayouts.end()) {
      it->second->addWidget(button);
    } else {
      bottom->addWidget(button, 1, 2);
    }
    connect(button, &QPushButton::clicked, this,
            [this, b = spec.button] { logic_.Press(b, Fields()); });
  }
  for (auto* layout : {txLayout, rxLayout, afcLayout}) layout->addStretch();

  auto* otherLabel = new QLabel(QStringLiteral("Other command"), this);
  QLineEdit* other = makeField(ID_OTHER_COMMAND, "Other command", this);
  other->setMaxLength(static_cast<int>(RF_OTHER_COMMAND_MAX));
  other->setMaximumWidth(QWIDGETSIZE_MAX);
  otherLabel->setBuddy(other);
  auto* resultLabel = new QLabel(QStringLiteral("Result"), this);
  result_ = new QLineEdit(this);
  result_->setReadOnly(true);
  result_->setAccessibleName(QStringLiteral("Result"));
  SetControlId(result_, ID_RESULT);
  resultLabel->setBuddy(result_);
  auto* exit = new QPushButton(QStringLiteral("EXIT"), this);
  exit->setAutoDefault(false);
  SetControlId(exit, ID_EXIT);
  connect(exit, &QPushButton::clicked, this, &QWidget::close);

  bottom->addWidget(otherLabel, 0, 0);
  bottom->addWidget(other, 0, 1);
  bottom->addWidget(resultLabel, 1, 0);
  bottom->addWidget(result_, 1, 1);
  bottom->addWidget(exit, 0, 2);
  bottom->setColumnStretch(1, 1);

  // The keyboard goes through a group's fields and then its buttons, in their step order.
  std::vector<QWidget*> order;
  const std::pair<RfGroup, std::vector<int>> groupFields[] = {
      {RfGroup::TX_TEST, {ID_TX_CHANNEL, ID_TX_POWER_LEVEL, ID_APC_DAC}},
      {RfGroup::RX_CONTINUOUS, {ID_RX_CHANNEL, ID_AGC}},
      {RfGroup::AFC_DAC, {ID_AFC_CHANNEL, ID_AFC_POWER_LEVEL, ID_AFC_DAC}},
      {RfGroup::NONE, {ID_OTHER_COMMAND}}};
  for (const auto& [group, ids] : groupFields) {
    for (int id : ids) order.push_back(Field(id));
    for (const RfButtonSpec& spec : RfButtons()) {
      if (spec.group == group) order.push_back(buttons_[spec.button]);
    }
  }
  order.push_back(exit);
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  auto* groups = new QHBoxLayout;
  groups->addWidget(tx);
  groups->addWidget(rx);
  groups->addWidget(afc);
  auto* top = new QVBoxLayout(this);
  top->addLayout(groups);
  top->addLayout(bottom);
  top->setSizeConstraint(QLayout::SetFixedSize);

  logic_.OnInit();
}

QPushButton* CRfTestDlg::Button(RfButton button) const {
  const auto it = buttons_.find(button);
  return it == buttons_.end() ? nullptr : it->second;
}

bool CRfTestDlg::OnEnter() {
  QLineEdit* other = Field(ID_OTHER_COMMAND);
  if (logic_.Enter(other->text().toStdString())) other->clear();
  return true;
}

void CRfTestDlg::SetResult(const std::string& text) {
  result_->setText(QString::fromStdString(text));
}

RfTestFields CRfTestDlg::Fields() const {
  auto text = [this](int id) { return Field(id)->text().toStdString(); };
  RfTestFields f;
  f.txChannel = text(ID_TX_CHANNEL);
  f.txPowerLevel = text(ID_TX_POWER_LEVEL);
  f.apcDac = text(ID_APC_DAC);
  f.rxChannel = text(ID_RX_CHANNEL);
  f.agc = text(ID_AGC);
  f.afcChannel = text(ID_AFC_CHANNEL);
  f.afcPowerLevel = text(ID_AFC_POWER_LEVEL);
  f.afcDac = text(ID_AFC_DAC);
  return f;
}
