#include "sim/bench/ui/BenchPanel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "sim/bench/ui/BenchPanelMain.h"

namespace {

constexpr int REFRESH_MS = 200;

QString DefectText(sim::UnitDefect defect, bool silent) {
  if (silent) return QStringLiteral("silent");
  switch (defect) {
    case sim::UnitDefect::NONE:
      return QStringLiteral("good");
    case sim::UnitDefect::TX:
      return QStringLiteral("TX defect");
    case sim::UnitDefect::RX:
      return QStringLiteral("RX defect");
    case sim::UnitDefect::GMAGIC:
      return QStringLiteral("GMAGIC defect");
    case sim::UnitDefect::BATTERY:
      return QStringLiteral("battery defect");
  }
  return {};
}

}  // namespace

BenchPanel::BenchPanel(BenchControls& controls, QWidget* parent)
    : QWidget(parent), controls_(controls) {
  setWindowTitle(QStringLiteral("tesmira-bench"));

  supply_ = new QGroupBox(QStringLiteral("Supply (GPIB::5::INSTR)"), this);
  auto* supplyRow = new QHBoxLayout(supply_);
  output_ = new QPushButton(QStringLiteral("Output"), supply_);
  output_->setCheckable(true);
  output_->setObjectName(QStringLiteral("supply_output"));
  output_->setAccessibleName(QStringLiteral("Supply output"));
  reading_ = new QLabel(supply_);
  reading_->setObjectName(QStringLiteral("supply_reading"));
  reading_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  reading_->setMinimumWidth(
      reading_->fontMetrics().horizontalAdvance(QStringLiteral("0.000 V   0.0000 A")) + 16);
  reading_->setAlignment(Qt::AlignCenter);
  reading_->setStyleSheet(QStringLiteral("background: black; color: rgb(128,255,0);"));
  supplyRow->addWidget(output_);
  supplyRow->addWidget(reading_, 1);
  connect(output_, &QPushButton::clicked, this, [this](bool on) { controls_.SetSupplyOutput(on); });

  auto* jigBox = new QGroupBox(QStringLiteral("Jig"), this);
  auto* jigGrid = new QGridLayout(jigBox);
  jig_ = new QLabel(jigBox);
  jig_->setObjectName(QStringLiteral("jig_state"));
  insert_ = new QPushButton(QStringLiteral("Put handset in"), jigBox);
  insert_->setObjectName(QStringLiteral("jig_insert"));
  remove_ = new QPushButton(QStringLiteral("Take handset out"), jigBox);
  remove_->setObjectName(QStringLiteral("jig_remove"));
  next_defect_ = new QComboBox(jigBox);
  next_defect_->setObjectName(QStringLiteral("next_defect"));
  next_defect_->setAccessibleName(QStringLiteral("Next unit"));
  for (NextDefect d : {NextDefect::GOOD, NextDefect::TX, NextDefect::RX, NextDefect::GMAGIC,
                       NextDefect::BATTERY, NextDefect::SILENT}) {
    next_defect_->addItem(QString::fromUtf8(NextDefectName(d)), static_cast<int>(d));
  }
  auto* nextLabel = new QLabel(QStringLiteral("Next unit:"), jigBox);
  nextLabel->setBuddy(next_defect_);
  jigGrid->addWidget(jig_, 0, 0, 1, 2);
  jigGrid->addWidget(insert_, 1, 0);
  jigGrid->addWidget(remove_, 1, 1);
  jigGrid->addWidget(nextLabel, 2, 0);
  jigGrid->addWidget(next_defect_, 2, 1);
  connect(insert_, &QPushButton::clicked, this, [this] { controls_.InsertHandset(true); });
  connect(remove_, &QPushButton::clicked, this, [this] { controls_.InsertHandset(false); });
  connect(next_defect_, &QComboBox::activated, this, [this](int index) {
    controls_.SetNextDefect(static_cast<NextDefect>(next_defect_->itemData(index).toInt()));
  });

  scanner_ = new QGroupBox(QStringLiteral("Scanner"), this);
  scanner_->setObjectName(QStringLiteral("scanner"));
  auto* scannerGrid = new QGridLayout(scanner_);
  scanner_code_ = new QLineEdit(scanner_);
  scanner_code_->setObjectName(QStringLiteral("scanner_code"));
  scanner_code_->setAccessibleName(QStringLiteral("Scanner's next code"));
  scanner_code_->setMaxLength(static_cast<int>(BenchControls::SCANNER_CODE_MAX));
  // What a barcode can carry: printable ASCII.
  scanner_code_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[\\x20-\\x7E]*")), scanner_code_));
  scanner_set_ = new QPushButton(QStringLiteral("Set"), scanner_);
  scanner_set_->setObjectName(QStringLiteral("scanner_set"));
  scanner_next_ = new QLabel(scanner_);
  scanner_next_->setObjectName(QStringLiteral("scanner_next"));
  auto* codeLabel = new QLabel(QStringLiteral("Next code:"), scanner_);
  codeLabel->setBuddy(scanner_code_);
  scannerGrid->addWidget(codeLabel, 0, 0);
  scannerGrid->addWidget(scanner_code_, 0, 1);
  scannerGrid->addWidget(scanner_set_, 0, 2);
  scannerGrid->addWidget(scanner_next_, 1, 0, 1, 3);
  connect(scanner_set_, &QPushButton::clicked, this, &BenchPanel::SetScannerCode);
  connect(scanner_code_, &QLineEdit::returnPressed, this, &BenchPanel::SetScannerCode);
  scanner_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(supply_);
  layout->addWidget(jigBox);
  layout->addWidget(scanner_);
  layout->addStretch();

  timer_.setInterval(REFRESH_MS);
  connect(&timer_, &QTimer::timeout, this, &BenchPanel::Refresh);
  timer_.start();
  Refresh();
}

void BenchPanel::Refresh() {
  const BenchSnapshot s = controls_.Snapshot();
  if (s.version == shown_version_) return;
  shown_version_ = s.version;
  supply_->setEnabled(s.haveSupply);
  if (s.haveSupply) {
    supply_->setTitle(
        QStringLiteral("Supply %1 (GPIB::5::INSTR)").arg(QString::fromStdString(s.supplyModel)));
  }
  output_->setChecked(s.supplyOn);
  output_->setText(s.supplyOn ? QStringLiteral("Output ON") : QStringLiteral("Output OFF"));
  reading_->setText(
      s.supplyOn
          ? QStringLiteral("%1 V   %2 A").arg(s.supplyVolts, 0, 'f', 3).arg(s.supplyAmps, 0, 'f', 4)
          : QStringLiteral("OFF"));
  if (s.handsetInserted) {
    jig_->setText(
        QStringLiteral("Unit %1 in the jig (%2), %3")
            .arg(s.unitIndex + 1)
            .arg(DefectText(s.unitDefect, s.unitSilent))
            .arg(s.handsetPowered ? QStringLiteral("powered") : QStringLiteral("not powered")));
  } else {
    jig_->setText(QStringLiteral("Jig empty"));
  }
  insert_->setEnabled(!s.handsetInserted);
  remove_->setEnabled(s.handsetInserted);
  const int index = next_defect_->findData(static_cast<int>(s.nextDefect));
  if (index >= 0 && !next_defect_->view()->isVisible()) next_defect_->setCurrentIndex(index);
  scanner_->setVisible(s.haveScanner);
  scanner_next_->setText(
      QStringLiteral("Reads next: %1").arg(QString::fromStdString(s.scannerNextCode)));
}

void BenchPanel::SetScannerCode() {
  // The field is emptied only for a code the bench took, so a refused one can be mended.
  if (controls_.SetScannerNextCode(scanner_code_->text().toStdString())) scanner_code_->clear();
}

int RunBenchPanel(int& argc, char** argv, BenchControls& controls, unsigned long long seed,
                  const std::function<bool()>& stopped) {
  QApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("tesmira-bench"));
  BenchPanel panel(controls);
  panel.setWindowTitle(QStringLiteral("tesmira-bench (seed %1)").arg(seed));
  panel.show();
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &app, [&] {
    if (stopped()) app.quit();
  });
  watch.start(REFRESH_MS);
  return app.exec();
}
