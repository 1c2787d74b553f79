#include "production/ImeiRwDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "link/CComm.h"
#include "production/IdentityCodec.h"

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// What a screen reader says for each field.
QString AccessibleText(ImeiField field) {
  static const char* const IMEI_PARTS[4] = {"type allocation code", "final assembly code", "serial",
                                            "check digit"};
  const int f = static_cast<int>(field);
  if (field >= ImeiField::IMEI_READ_1 && field <= ImeiField::IMEI_READ_4) {
    return QStringLiteral("IMEI read, %1")
        .arg(IMEI_PARTS[f - static_cast<int>(ImeiField::IMEI_READ_1)]);
  }
  if (field >= ImeiField::IMEI_INPUT_1 && field <= ImeiField::IMEI_INPUT_4) {
    return QStringLiteral("IMEI to set, %1")
        .arg(IMEI_PARTS[f - static_cast<int>(ImeiField::IMEI_INPUT_1)]);
  }
  switch (field) {
    case ImeiField::HW_DISPLAY:
      return QStringLiteral("H/W version");
    case ImeiField::HW_INPUT:
      return QStringLiteral("H/W version to set");
    case ImeiField::SW_DISPLAY:
      return QStringLiteral("S/W version");
    case ImeiField::SERIAL_DISPLAY:
      return QStringLiteral("Serial NUM");
    case ImeiField::SERIAL_INPUT:
      return QStringLiteral("Serial NUM to set");
    case ImeiField::TIME:
      return QStringLiteral("Time");
    case ImeiField::REGION_DISPLAY:
      return QStringLiteral("Region");
    case ImeiField::CODE:
      return QStringLiteral("Scanned code");
    default:
      return {};
  }
}

}  // namespace

ToolWindow* CImeiRwDlg::Create(StationContext& context) {
  return new CImeiRwDlg(context);
}

CImeiRwDlg::CImeiRwDlg(StationContext& context, CImeiRw::ScannerPortFactory scannerPorts)
    : ToolWindow(context),
      logic_(std::make_unique<CImeiRw>(
          context.loop, context.handset, context.notifier, static_cast<ImeiRwView&>(*this),
          scannerPorts ? std::move(scannerPorts)
                       : CImeiRw::ScannerPortFactory([&context]() -> std::unique_ptr<Port> {
                           return std::make_unique<CComm>(context.loop, &context.notifier);
                         }))) {
  setWindowTitle(QStringLiteral("IMEI R/W"));
  BuildLayout();
  logic_->OnInit();
}

CImeiRwDlg::~CImeiRwDlg() {
  // Deleted from under its own scan (the main window closing its tools): the scan's wait is
  // still on the stack, so the logic outlives the window and ends the scan quietly.
  if (logic_ && logic_->Scanning()) logic_.release()->Abandon();
}

QPushButton* CImeiRwDlg::AddButton(const QString& text, const char* name,
                                   void (CImeiRw::*action)()) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);  // Enter in a field presses nothing
  if (action != nullptr) {
    connect(b, &QPushButton::clicked, this, [this, action] { (logic_.get()->*action)(); });
    handset_buttons_.push_back(b);
  }
  return b;
}

QLineEdit* CImeiRwDlg::AddField(ImeiField field, const char* name, bool readOnly, int maxLength) {
  auto* e = new QLineEdit(this);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(readOnly);
  e->setMaxLength(maxLength);
  e->setAccessibleName(AccessibleText(field));
  fields_[field] = e;
  return e;
}

void CImeiRwDlg::BuildLayout() {
  // Version Info
  auto* version = new QGroupBox(QStringLiteral("Version Info"), this);
  auto* vg = new QGridLayout(version);
  vg->addWidget(new QLabel(QStringLiteral("H/W version"), version), 0, 0);
  vg->addWidget(AddField(ImeiField::HW_DISPLAY, "hwDisplay", true), 0, 1);
  vg->addWidget(AddButton(QStringLiteral("READ"), "hwRead", &CImeiRw::ReadHwVersion), 0, 2);
  vg->addWidget(AddField(ImeiField::HW_INPUT, "hwInput", false, 3), 0, 3);
  vg->addWidget(AddButton(QStringLiteral("SET"), "hwSet", &CImeiRw::SetHwVersion), 0, 4);
  vg->addWidget(new QLabel(QStringLiteral("S/W version"), version), 1, 0);
  vg->addWidget(AddField(ImeiField::SW_DISPLAY, "swDisplay", true), 1, 1);
  vg->addWidget(AddButton(QStringLiteral("READ"), "swRead", &CImeiRw::ReadSwVersion), 1, 2);
  vg->addWidget(new QLabel(QStringLiteral("Serial NUM"), version), 2, 0);
  vg->addWidget(AddField(ImeiField::SERIAL_DISPLAY, "serialDisplay", true), 2, 1);
  vg->addWidget(AddButton(QStringLiteral("READ"), "serialRead", &CImeiRw::ReadSerial), 2, 2);
  vg->addWidget(AddField(ImeiField::SERIAL_INPUT, "serialInput", false, 6), 2, 3);
  vg->addWidget(AddButton(QStringLiteral("SET"), "serialSet", &CImeiRw::SetSerial), 2, 4);

  // IMEI READ
  auto* imei = new QGroupBox(QStringLiteral("IMEI READ"), this);
  auto* ig = new QGridLayout(imei);
  static const char* const READ_NAMES[4] = {"imeiRead1", "imeiRead2", "imeiRead3", "imeiRead4"};
  static const char* const INPUT_NAMES[4] = {"imeiInput1", "imeiInput2", "imeiInput3",
                                             "imeiInput4"};
  for (int i = 0; i < 4; ++i) {
    const int length = static_cast<int>(identity::IMEI_FIELD_LENGTHS[i]);
    QLineEdit* r = AddField(static_cast<ImeiField>(static_cast<int>(ImeiField::IMEI_READ_1) + i),
                            READ_NAMES[i], true);
    QLineEdit* in = AddField(static_cast<ImeiField>(static_cast<int>(ImeiField::IMEI_INPUT_1) + i),
                             INPUT_NAMES[i], false, length);
    const int width = fontMetrics().horizontalAdvance(QString(length + 2, QChar('0'))) + 12;
    r->setFixedWidth(width);
    in->setFixedWidth(width);
    ig->addWidget(r, 0, i);
    ig->addWidget(in, 1, i);
  }
  ig->addWidget(AddButton(QStringLiteral("Read"), "imeiReadButton", &CImeiRw::ReadImei), 0, 4);
  ig->addWidget(AddButton(QStringLiteral("SET"), "imeiSet", &CImeiRw::SetImei), 1, 4);

  auto* scanRow = new QHBoxLayout;
  QLineEdit* code = AddField(ImeiField::CODE, "code", true);
  code->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000000000000")) + 16);
  scanRow->addWidget(code);
  scan_ = AddButton(QStringLiteral("SCAN"), "scan", nullptr);
  // Queued: the scan's waits run from the event loop, not inside the button's own click.
  connect(scan_, &QPushButton::clicked, this, &CImeiRwDlg::OnScan, Qt::QueuedConnection);
  handset_buttons_.push_back(scan_);
  scanRow->addWidget(scan_);
  auto spin = [this](const char* name, const QString& label, int max, int value) {
    auto* s = new QSpinBox(this);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(0, max);
    s->setValue(value);
    s->setAccessibleName(label);
    connect(s, &QSpinBox::valueChanged, this, &CImeiRwDlg::TakeLabelSettings);
    return s;
  };
  quantity_ = spin("quantity", QStringLiteral("발행수량"), 10000, logic_->Quantity());
  vertical_ = spin("vertical", QStringLiteral("세로"), 600, logic_->Vertical());
  horizontal_ = spin("horizontal", QStringLiteral("가로"), 600, logic_->Horizontal());
  scanRow->addSpacing(12);
  scanRow->addWidget(new QLabel(QStringLiteral("발행수량"), imei));
  scanRow->addWidget(quantity_);
  scanRow->addWidget(new QLabel(QStringLiteral("세로"), imei));
  scanRow->addWidget(vertical_);
  scanRow->addWidget(new QLabel(QStringLiteral("가로"), imei));
  scanRow->addWidget(horizontal_);
  ig->addLayout(scanRow, 2, 0, 1, 6);
  ig->setColumnStretch(5, 1);  // the buttons keep their size beside the fixed fields

  // RTC SET
  auto* rtc = new QGroupBox(QStringLiteral("RTC SET"), this);
  auto* rg = new QHBoxLayout(rtc);
  rg->addWidget(new QLabel(QStringLiteral("Time"), rtc));
  QLineEdit* time = AddField(ImeiField::TIME, "time", true);
  time->setMinimumWidth(
      fontMetrics().horizontalAdvance(QStringLiteral("00:00:00, Wednesday, September 30, 2026")) +
      16);
  rg->addWidget(time, 1);
  rg->addWidget(AddButton(QStringLiteral("SET"), "rtcSet", &CImeiRw::SetRtc));

  // Region SET
  auto* regionBox = new QGroupBox(QStringLiteral("Region SET"), this);
  auto* gg = new QHBoxLayout(regionBox);
  gg->addWidget(AddField(ImeiField::REGION_DISPLAY, "regionDisplay", true));
  gg->addWidget(AddButton(QStringLiteral("READ"), "regionRead", &CImeiRw::ReadRegion));
  region_ = new QComboBox(regionBox);
  region_->setObjectName(QStringLiteral("regionCombo"));
  region_->setAccessibleName(QStringLiteral("Region"));
  region_->addItems({QStringLiteral("CH"), QStringLiteral("HK")});
  region_->setCurrentIndex(-1);  // no initial selection
  gg->addWidget(region_);
  gg->addWidget(AddButton(QStringLiteral("SET"), "regionSet", &CImeiRw::SetRegion));

  next_ = AddButton(QStringLiteral("NEXT"), "next", nullptr);
  next_->installEventFilter(this);
  exit_ = AddButton(QStringLiteral("EXIT"), "exit", nullptr);
  connect(exit_, &QPushButton::clicked, this, [this] { close(); });
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(next_);
  bottom->addWidget(exit_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(version);
  layout->addWidget(imei);
  layout->addWidget(rtc);
  layout->addWidget(regionBox);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* CImeiRwDlg::Field(ImeiField field) const {
  const auto it = fields_.find(field);
  return it == fields_.end() ? nullptr : it->second;
}

QPushButton* CImeiRwDlg::Button(const char* name) const {
  return findChild<QPushButton*>(QString::fromLatin1(name));
}

void CImeiRwDlg::SetText(ImeiField field, const std::string& text) {
  if (QLineEdit* e = Field(field)) e->setText(Q(text));
}

std::string CImeiRwDlg::Text(ImeiField field) const {
  if (field == ImeiField::REGION_COMBO) return region_->currentText().toStdString();
  const QLineEdit* e = Field(field);
  return e == nullptr ? std::string() : e->text().toStdString();
}

void CImeiRwDlg::SetScanning(bool running) {
  for (QPushButton* b : handset_buttons_) b->setEnabled(!running);
}

void CImeiRwDlg::TakeLabelSettings() {
  logic_->SetLabelSettings(quantity_->value(), vertical_->value(), horizontal_->value());
}

void CImeiRwDlg::OnScan() {
  QPointer<CImeiRwDlg> self(this);
  CImeiRw& logic = *logic_;
  logic.Scan();
  if (!self) return;
  if (close_after_scan_) {
    close();
    return;
  }
  scan_->setFocus();  // greyed during the scan, it lost the focus to the next control
}

bool CImeiRwDlg::OnClose() {
  if (logic_->Scanning()) {
    // The scan waits inside this window's logic: it closes once the scan has ended.
    close_after_scan_ = true;
    return false;
  }
  logic_->ReleaseScanner();
  return true;
}

bool CImeiRwDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == next_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      logic_->Next();  // the key ends here; a click on "NEXT" clears nothing
      return true;
    }
  }
  return ToolWindow::eventFilter(watched, event);
}
