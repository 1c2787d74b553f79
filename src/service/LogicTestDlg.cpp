#include "service/LogicTestDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/ControlIds.h"

ToolWindow* CreateLogicTestDlg(StationContext& context) {
  return new CLogicTestDlg(context);
}

CLogicTestDlg::CLogicTestDlg(StationContext& context)
    : ToolWindow(context), logic_(context.loop, context.handset, context.notifier, *this) {
  setWindowTitle(QString::fromUtf8(LOGIC_TEST_TITLE));

  int place = 0;
  for (LogicButton b : LogicButtons()) {
    auto* button = new QPushButton(QString::fromStdString(logic_.Caption(b)), this);
    // Enter in the "GAIN" field must not fire whichever button happens to be the default.
    button->setAutoDefault(false);
    SetControlId(button, ID_FIRST_BUTTON + place++);
    buttons_[b] = button;
    connect(button, &QPushButton::clicked, this, [this, b] {
      logic_.Press(b, gain_->text().toStdString(), main_contrast_->currentText().toInt());
    });
  }
  auto makeChoice = [this](int id, ChoiceRange range, const char* name) {
    auto* box = new QComboBox(this);
    for (int v = range.first; v <= range.last; ++v) box->addItem(QString::number(v));
    box->setCurrentIndex(0);
    box->setAccessibleName(QString::fromUtf8(name));
    SetControlId(box, id);
    return box;
  };
  auto labelled = [this](const char* text, QWidget* control) {
    auto* label = new QLabel(QString::fromUtf8(text), this);
    label->setBuddy(control);
    return label;
  };
  using B = LogicButton;

  auto* test = new QGroupBox(QStringLiteral("TEST"), this);
  auto* testLayout = new QVBoxLayout(test);
  for (B b : {B::VIB_TEST, B::BACK_LIGHT, B::LCD_TEST, B::SUB_LCD_TEST, B::KEY_AUTO_TEST}) {
    testLayout->addWidget(buttons_[b]);
  }

  auto* led = new QGroupBox(QStringLiteral("LED"), this);
  auto* ledLayout = new QVBoxLayout(led);
  auto* colours = new QHBoxLayout;
  const std::pair<int, const char*> colourBoxes[] = {
      {ID_RED, "RED"}, {ID_GREEN, "GREEN"}, {ID_BLUE, "BLUE"}};
  for (const auto& [id, text] : colourBoxes) {
    auto* box = new QCheckBox(QString::fromUtf8(text), led);
    box->setChecked(true);
    box->setEnabled(false);
    box->setToolTip(QStringLiteral("7 LED Test lights all three colours"));
    SetControlId(box, id);
    colours->addWidget(box);
  }
  ledLayout->addLayout(colours);
  ledLayout->addWidget(buttons_[B::LED_TEST]);

  auto* audio = new QGroupBox(QStringLiteral("AUDIO"), this);
  auto* audioLayout = new QGridLayout(audio);
  gain_ = new QLineEdit(audio);
  gain_->setAccessibleName(QStringLiteral("GAIN"));
  gain_->setMaximumWidth(70);
  SetControlId(gain_, ID_GAIN);
  audioLayout->addWidget(labelled("GAIN", gain_), 0, 0);
  audioLayout->addWidget(gain_, 0, 1);
  audioLayout->addWidget(new QLabel(QStringLiteral("(1~255)"), audio), 0, 2);
  audioLayout->addWidget(buttons_[B::SPK_TONE], 1, 0, 1, 3);
  audioLayout->addWidget(buttons_[B::MIC_TEST], 2, 0, 1, 3);

  auto* contrast = new QGroupBox(QStringLiteral("CONTRAST"), this);
  auto* contrastLayout = new QGridLayout(contrast);
  main_contrast_ = makeChoice(ID_MAIN_CONTRAST, MAIN_CONTRAST_CHOICES, "Value");
  sub_vol_ = makeChoice(ID_SUB_VOL, SUB_VOL_CHOICES, "VOL");
  sub_v0_ = makeChoice(ID_SUB_V0, SUB_V0_CHOICES, "V0");
  contrastLayout->addWidget(new QLabel(QStringLiteral("Main LCD"), contrast), 0, 0);
  contrastLayout->addWidget(labelled("Value", main_contrast_), 0, 1);
  contrastLayout->addWidget(main_contrast_, 0, 2);
  contrastLayout->addWidget(buttons_[B::MAIN_LCD_CONTRAST], 0, 3, 1, 2);
  contrastLayout->addWidget(new QLabel(QStringLiteral("Sub LCD"), contrast), 1, 0);
  contrastLayout->addWidget(labelled("VOL", sub_vol_), 1, 1);
  contrastLayout->addWidget(sub_vol_, 1, 2);
  contrastLayout->addWidget(labelled("V0", sub_v0_), 1, 3);
  contrastLayout->addWidget(sub_v0_, 1, 4);
  // A choice of the operator's (mouse or keys), not a programmatic change, sends.
  connect(sub_vol_, &QComboBox::activated, this,
          [this] { logic_.SubVolChanged(sub_vol_->currentText().toInt()); });
  connect(sub_v0_, &QComboBox::activated, this,
          [this] { logic_.SubV0Changed(sub_v0_->currentText().toInt()); });

  result_ = new QLineEdit(this);
  result_->setReadOnly(true);
  result_->setAccessibleName(QStringLiteral("Result"));
  SetControlId(result_, ID_RESULT);
  auto* exit = new QPushButton(QStringLiteral("EXIT"), this);
  exit->setAutoDefault(false);
  SetControlId(exit, ID_EXIT);
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  auto* save = new QHBoxLayout;
  save->addWidget(buttons_[B::LOGIC_DATA_SAVE]);
  save->addWidget(result_, 1);
  save->addSpacing(20);
  save->addWidget(exit);

  auto* grid = new QGridLayout(this);
  grid->addWidget(test, 0, 0, 2, 1);
  grid->addWidget(led, 0, 1);
  grid->addWidget(audio, 1, 1);
  grid->addWidget(contrast, 2, 0, 1, 2);
  grid->addLayout(save, 3, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  logic_.OnInit();
}

QPushButton* CLogicTestDlg::Button(LogicButton button) const {
  const auto it = buttons_.find(button);
  return it == buttons_.end() ? nullptr : it->second;
}

void CLogicTestDlg::SetCaption(LogicButton button, const std::string& caption) {
  if (QPushButton* b = Button(button)) b->setText(QString::fromStdString(caption));
}

void CLogicTestDlg::SetResult(const std::string& text) {
  result_->setText(QString::fromStdString(text));
}
