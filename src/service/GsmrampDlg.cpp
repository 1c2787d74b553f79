#include "service/GsmrampDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "link/Bcommand.h"
#include "service/ResultdispDlg.h"
#include "widgets/LineChart.h"

RampValueBox::RampValueBox(QWidget* parent) : QAbstractSpinBox(parent) {
  setAlignment(Qt::AlignRight);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setAccelerated(false);
  lineEdit()->setText(QStringLiteral("0"));
}

QAbstractSpinBox::StepEnabled RampValueBox::stepEnabled() const {
  return StepUpEnabled | StepDownEnabled;
}

void RampValueBox::stepBy(int steps) {
  // The arrows start from the text's value and stay inside the spin range.
  const int value = std::clamp(text().toInt() + steps, RAMP_SPIN_MIN, RAMP_SPIN_MAX);
  lineEdit()->setText(QString::number(value));
}

QValidator::State RampValueBox::validate(QString& input, int&) const {
  static const QRegularExpression number(QStringLiteral("^-?[0-9]{0,9}$"));
  return number.match(input).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

namespace {

QLineEdit* ReadOnlyField(QWidget* parent, const char* name, int width) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setObjectName(QString::fromLatin1(name));
  field->setAccessibleName(QString::fromLatin1(name));
  field->setMinimumWidth(width);
  return field;
}

QPushButton* Button(QWidget* parent, const char* caption, const char* name) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QComboBox* Combo(QWidget* parent, const std::vector<std::string>& items, const char* name) {
  auto* combo = new QComboBox(parent);
  for (const auto& item : items) combo->addItem(QString::fromStdString(item));
  combo->setObjectName(QString::fromLatin1(name));
  combo->setAccessibleName(QString::fromLatin1(name));
  return combo;
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

CGsmramp::CGsmramp(StationContext& context)
    : ToolWindow(context), logic_(context.loop, context.handset, context.notifier, *this) {
  setWindowTitle(QStringLiteral("GSM RAMP TABLE"));

  // The template: 16 up values over 16 down values, with their totals.
  auto* ramp = new QGroupBox(QStringLiteral("RAMP TABLE"), this);
  auto* grid = new QGridLayout(ramp);
  grid->addWidget(new QLabel(QStringLiteral("UP"), ramp), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("DOWN"), ramp), 1, 0);
  for (int i = 0; i < RAMP_FIELDS; ++i) {
    auto* box = new RampValueBox(ramp);
    const bool up = i < RAMP_STEPS;
    const int step = up ? i : i - RAMP_STEPS;
    box->setObjectName(QStringLiteral("value%1").arg(i));
    box->setAccessibleName(QStringLiteral("%1 %2").arg(up ? "up" : "down").arg(step));
    box->setMinimumWidth(52);
    grid->addWidget(box, up ? 0 : 1, 1 + step);
    connect(box->Edit(), &QLineEdit::textChanged, this,
            [this, i](const QString& text) { logic_.ValueChanged(i, text.toStdString()); });
    values_[static_cast<size_t>(i)] = box;
  }
  up_total_ = ReadOnlyField(ramp, "RAMP UP TOTAL", 60);
  down_total_ = ReadOnlyField(ramp, "RAMP DOWN TOTAL", 60);
  grid->addWidget(Label(ramp, "RAMP UP TOTAL", up_total_), 0, 17);
  grid->addWidget(up_total_, 0, 18);
  grid->addWidget(Label(ramp, "RAMP DOWN TOTAL", down_total_), 1, 17);
  grid->addWidget(down_total_, 1, 18);

  index_ = Combo(this, RampIndexTexts(), "INDEX");
  tx_level_ = Combo(this, RampLevelTexts(), "TX LEVEL");
  band_ = Combo(this, {}, "BAND");
  for (const RampBand& band : RAMP_BANDS) band_->addItem(QString::fromLatin1(band.text));
  band_->setCurrentIndex(-1);  // no band chosen yet
  band_->setPlaceholderText(QStringLiteral("BAND"));
  auto* load = Button(this, "LOAD", "LOAD");
  auto* save = Button(this, "SAVE", "SAVE template");
  apply_index_ = new QCheckBox(QStringLiteral("Apply Ramp index"), this);
  apply_index_->setObjectName(QStringLiteral("Apply Ramp index"));

  auto* templateRow = new QHBoxLayout;
  templateRow->addWidget(Label(this, "INDEX", index_));
  templateRow->addWidget(index_);
  templateRow->addWidget(load);
  templateRow->addWidget(save);
  templateRow->addSpacing(16);
  templateRow->addWidget(Label(this, "TX LEVEL", tx_level_));
  templateRow->addWidget(tx_level_);
  templateRow->addWidget(apply_index_);
  templateRow->addStretch();

  // The sub-band's APC DAC value.
  dac_ = new QLineEdit(this);
  dac_->setObjectName(QStringLiteral("DAC"));
  dac_->setAccessibleName(QStringLiteral("DAC"));
  dac_->setMaxLength(9);
  dac_->setMaximumWidth(90);
  auto* saveDac = Button(this, "SAVE", "SAVE DAC");
  auto* dacRow = new QHBoxLayout;
  dacRow->addWidget(Label(this, "BAND", band_));
  dacRow->addWidget(band_);
  dacRow->addWidget(Label(this, "DAC", dac_));
  dacRow->addWidget(dac_);
  dacRow->addWidget(saveDac);
  dacRow->addSpacing(16);
  auto* saveEep = Button(this, "SAVE to EEP ", "SAVE to EEP");
  auto* resetEep = Button(this, "RESET EEP", "RESET EEP");
  call_ = Button(this, "CALL", "CALL");
  dacRow->addWidget(saveEep);
  dacRow->addWidget(resetEep);
  dacRow->addWidget(call_);
  dacRow->addStretch();

  command_window_ = new QLineEdit(this);
  command_window_->setObjectName(QStringLiteral("Command Window"));
  command_window_->setAccessibleName(QStringLiteral("Command Window"));
  command_window_->setMaxLength(static_cast<int>(COMMAND_LINE_MAX));
  result_ = ReadOnlyField(this, "Result", 200);
  auto* lineRow = new QHBoxLayout;
  lineRow->addWidget(Label(this, "Command Window", command_window_));
  lineRow->addWidget(command_window_, 2);
  lineRow->addWidget(Label(this, "Result", result_));
  lineRow->addWidget(result_, 1);

  chart_ = new LineChart(this);
  chart_->setObjectName(QStringLiteral("chart"));
  chart_->setMinimumHeight(200);
  series_ = chart_->AddSeries(QColor(0, 255, 0), RAMP_CHART_UPPER, RAMP_CHART_LOWER);
  chart_->Data().title = QStringLiteral("RAMP");

  auto* display = Button(this, "display window ", "display window");
  auto* ok = Button(this, "OK", "OK");
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(display);
  bottom->addStretch();
  bottom->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ramp);
  layout->addLayout(templateRow);
  layout->addLayout(dacRow);
  layout->addLayout(lineRow);
  layout->addWidget(chart_, 1);
  layout->addLayout(bottom);

  connect(band_, &QComboBox::activated, this, [this](int index) { logic_.BandChanged(index); });
  connect(tx_level_, &QComboBox::activated, this, [this] { logic_.TxLevelChanged(); });
  connect(load, &QPushButton::clicked, this, [this] { logic_.Load(); });
  connect(save, &QPushButton::clicked, this, [this] { logic_.SaveTemplate(); });
  connect(saveDac, &QPushButton::clicked, this,
          [this] { logic_.SaveDac(dac_->text().toStdString()); });
  connect(saveEep, &QPushButton::clicked, this, [this] { logic_.SaveToEeprom(); });
  connect(resetEep, &QPushButton::clicked, this, [this] { logic_.ResetEeprom(); });
  connect(call_, &QPushButton::clicked, this, [this] { logic_.Call(); });
  connect(apply_index_, &QCheckBox::toggled, this,
          [this](bool on) { logic_.SetApplyRampIndex(on); });
  connect(display, &QPushButton::clicked, this, &CGsmramp::OpenResultDisplay);
  connect(ok, &QPushButton::clicked, this, &QWidget::close);

  logic_.OnInit();
  for (int i = 0; i < RAMP_FIELDS; ++i) SetValueField(i, 0);
  SetTotals(0, 0);
}

CGsmramp::~CGsmramp() {
  // The result display belongs to this editor: it does not outlive it.
  if (result_display_) result_display_->close();
}

bool CGsmramp::OnEnter() {
  if (!command_window_->hasFocus()) return false;
  logic_.CommandWindowEnter(command_window_->text().toStdString());
  return true;
}

// Fields the logic fills are not edits of the operator: no second redraw per value.
void CGsmramp::SetValueField(int field, int32_t value) {
  RampValueBox* box = values_.at(static_cast<size_t>(field));
  const QSignalBlocker block(box->Edit());
  box->Edit()->setText(QString::number(value));
}

void CGsmramp::SetTotals(int32_t up, int32_t down) {
  up_total_->setText(QString::number(up));
  down_total_->setText(QString::number(down));
}

void CGsmramp::SetResult(const std::string& text) {
  result_->setText(QString::fromStdString(text));
}

void CGsmramp::SetDacText(const std::string& text) {
  dac_->setText(QString::fromStdString(text));
}

void CGsmramp::SetIndexText(const std::string& text) {
  const int at = index_->findText(QString::fromStdString(text));
  if (at >= 0) index_->setCurrentIndex(at);
}

void CGsmramp::SetCallCaption(const std::string& caption) {
  call_->setText(QString::fromStdString(caption));
}

void CGsmramp::ClearCommandWindow() {
  command_window_->clear();
}

void CGsmramp::AppendChartPoints(const std::array<double, RAMP_CHART_POINTS>& points) {
  for (double p : points) chart_->AppendPoint(series_, p);
}

void CGsmramp::HandOverAnswer(const uint8_t* frame, size_t length) {
  if (result_display_) result_display_->ShowAnswer(frame, length);
}

std::string CGsmramp::TxLevelText() {
  return tx_level_->currentText().toStdString();
}

std::string CGsmramp::IndexText() {
  return index_->currentText().toStdString();
}

void CGsmramp::OpenResultDisplay() {
  if (!result_display_) result_display_ = new CResultdispDlg;
  result_display_->show();
  result_display_->raise();
  result_display_->activateWindow();
}

ToolWindow* CreateGsmrampDlg(StationContext& context) {
  return new CGsmramp(context);
}
