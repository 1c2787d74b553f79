#include "calibration/AutocalibDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "calibration/CalState.h"
#include "calibration/OkfaildispDlg.h"
#include "calibration/ui/CalibrationCharts.h"
#include "platform/QtEventLoop.h"
#include "widgets/ColourLabel.h"
#include "widgets/ControlIds.h"
#include "widgets/LineChart.h"
#include "widgets/ModalRunner.h"
#include "widgets/RepaintWatch.h"

namespace {

const QColor STATUS_CLEARED_TEXT(0, 255, 64);
const QColor STATUS_RUNNING_TEXT(128, 255, 0);
const QColor STATUS_SUCCESS_BACKGROUND(0, 255, 64);
constexpr int STATUS_FONT_HEIGHT = 12;

const std::vector<std::string>& GsmRows() {
  static const std::vector<std::string> rows = [] {
    std::vector<std::string> r;
    for (int level = GSM_FIRST_LEVEL; level <= GSM_LAST_LEVEL; ++level) {
      r.push_back(std::to_string(level));
    }
    return r;
  }();
  return rows;
}

const std::vector<std::string>& DcsRows() {
  static const std::vector<std::string> rows = [] {
    std::vector<std::string> r;
    for (int n = 0; n <= DCS_LAST_LEVEL - DCS_FIRST_LEVEL; ++n) r.push_back(std::to_string(n));
    return r;
  }();
  return rows;
}

const std::vector<std::string>& RxRows() {
  static const std::vector<std::string> rows = {"1",   "20",  "40",  "62",   "80",  "100",
                                                "124", "512", "585", "660",  "700", "790",
                                                "835", "885", "975", "1000", "1023"};
  return rows;
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

CAutocalibDlg::CAutocalibDlg(StationContext& context) : ToolWindow(context) {
  setWindowTitle(QString::fromUtf8(TITLE));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildSettings());
  auto* middle = new QHBoxLayout;
  middle->addWidget(BuildLists());
  middle->addWidget(BuildSide());
  layout->addLayout(middle);
  layout->addWidget(BuildStatus());
  layout->addWidget(BuildCharts(), 1);

  if (std::getenv("TESMIRA_REPAINT_WATCH") != nullptr) {
    repaint_watch_ = new RepaintWatch(progress_);
  }
  logic_ = std::make_unique<AutoCalibration>(context.loop, context.handset, *this,
                                             static_cast<Notifier&>(*this));
  logic_->OnInit();
  // Enter is looked at before the control with the focus sees it (a focused button would
  // take it as a click otherwise).
  qApp->installEventFilter(this);
}

CAutocalibDlg::~CAutocalibDlg() {
  qApp->removeEventFilter(this);
  logic_.reset();  // its exchange leaves the port and its timers go before the controls
}

ToolWindow* CreateAutocalibDlg(StationContext& context) {
  return new CAutocalibDlg(context);
}

// ---- building --------------------------------------------------------------------------------

QWidget* CAutocalibDlg::BuildSettings() {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  auto labelled = [&](const char* text, QWidget* control) {
    auto* label = new QLabel(QString::fromUtf8(text), box);
    label->setBuddy(control);
    control->setAccessibleName(QString::fromUtf8(text));
    row->addWidget(label);
    row->addWidget(control);
  };
  model_ = new QComboBox(box);
  model_->addItem(QStringLiteral("ZR907XC907"));
  SetControlId(model_, ID_MODEL);
  labelled("MODEL", model_);
  stage_ = new QComboBox(box);
  for (const char* stage : {"DVT1", "DVT2", "DVT3", "MVT1", "MVT2", "MP"}) {
    stage_->addItem(QString::fromUtf8(stage));
  }
  SetControlId(stage_, ID_STAGE);
  labelled("Phone Stage", stage_);
  phone_name_ = new QLineEdit(box);
  phone_name_->setMaxLength(30);
  SetControlId(phone_name_, ID_PHONE_NAME);
  labelled("Phone name", phone_name_);
  row->addStretch();
  mode_ = new QComboBox(box);
  mode_->addItem(QStringLiteral("BOARD CALIBRATION"));
  mode_->addItem(QStringLiteral("RF CALIBRATION"));
  mode_->setAccessibleName(QStringLiteral("Mode"));
  SetControlId(mode_, ID_MODE);
  row->addWidget(mode_);
  connect(mode_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (logic_) logic_->OnModeChange(index);
  });
  return box;
}

QTreeWidget* CAutocalibDlg::List(CalList id,
                                 const std::vector<std::pair<const char*, int>>& columns) {
  auto* list = new QTreeWidget(this);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setColumnCount(static_cast<int>(columns.size()));
  QStringList names;
  int width = 0;
  for (const auto& [name, w] : columns) {
    names << QString::fromUtf8(name);
    width += w;
  }
  list->setHeaderLabels(names);
  list->header()->setDefaultAlignment(Qt::AlignCenter);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionResizeMode(QHeaderView::Fixed);
  for (size_t c = 0; c < columns.size(); ++c) {
    list->setColumnWidth(static_cast<int>(c), columns[c].second);
  }
  list->setFixedWidth(width + list->frameWidth() * 2 +
                      list->verticalScrollBar()->sizeHint().width());
  list->setMinimumHeight(330);
  SetControlId(list, static_cast<int>(id));
  lists_[static_cast<int>(id)] = list;
  return list;
}

QWidget* CAutocalibDlg::BuildLists() {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  auto titled = [&](const char* title, QTreeWidget* list) {
    auto* column = new QVBoxLayout;
    auto* label = new QLabel(QString::fromUtf8(title), box);
    label->setBuddy(list);
    list->setAccessibleName(QString::fromUtf8(title));
    column->addWidget(label);
    column->addWidget(list);
    row->addLayout(column);
  };
  titled("GSM APC",
         List(CalList::GsmApc, {{"level", 45}, {"GSM1", 55}, {"GSM2", 55}, {"GSM3", 55}}));
  titled("DCS APC",
         List(CalList::DcsApc, {{"level", 45}, {"DCS1", 55}, {"DCS2", 55}, {"DCS3", 55}}));
  titled("RX CHAL", List(CalList::RxChannel, {{"channel", 40}, {"RF GAIN", 115}}));
  return box;
}

QPushButton* CAutocalibDlg::Button(const char* text, int id, void (AutoCalibration::*handler)()) {
  auto* button = new QPushButton(QString::fromUtf8(text), this);
  SetControlId(button, id);
  connect(button, &QPushButton::clicked, this, [this, handler] {
    if (logic_) ((*logic_).*handler)();
  });
  return button;
}

QWidget* CAutocalibDlg::BuildSide() {
  auto* box = new QWidget(this);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  auto edit = [&](CalField field, int minChars, bool readOnly) {
    auto* e = new QLineEdit(box);
    e->setReadOnly(readOnly);
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * minChars + 12);
    SetControlId(e, static_cast<int>(field));
    edits_[static_cast<int>(field)] = e;
    return e;
  };
  auto check = [&](CalField field) {
    auto* label = new QLabel(box);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(60);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    SetControlId(label, static_cast<int>(field));
    statics_[static_cast<int>(field)] = label;
    return label;
  };

  auto* gmagic = new QGroupBox(QStringLiteral("GMAGIC"), box);
  auto* gmagicGrid = new QGridLayout(gmagic);
  QLineEdit* gsm = edit(CalField::GmagicGsm, 5, true);
  QLineEdit* dcs = edit(CalField::GmagicDcs, 5, true);
  gsm->setAccessibleName(QStringLiteral("GMAGIC GSM"));
  dcs->setAccessibleName(QStringLiteral("GMAGIC DCS"));
  gmagicGrid->addWidget(new QLabel(QStringLiteral("GSM"), gmagic), 0, 0);
  gmagicGrid->addWidget(gsm, 0, 1);
  gmagicGrid->addWidget(new QLabel(QStringLiteral("DCS"), gmagic), 0, 2);
  gmagicGrid->addWidget(dcs, 0, 3);
  grid->addWidget(gmagic, 0, 0, 1, 3);

  auto* battery = new QGroupBox(QStringLiteral("Battery value"), box);
  auto* batteryGrid = new QGridLayout(battery);
  QLineEdit* batteryValue = edit(CalField::BatteryValue, 5, true);
  batteryValue->setAccessibleName(QStringLiteral("Battery value"));
  QLineEdit* clock = edit(CalField::ClockText, 34, true);
  clock->setAccessibleName(QStringLiteral("Clock written"));
  batteryGrid->addWidget(batteryValue, 0, 0);
  batteryGrid->addWidget(Button("CLEAR", ID_CLEAR, &AutoCalibration::OnClear), 0, 1);
  batteryGrid->addWidget(clock, 1, 0, 1, 2);
  grid->addWidget(battery, 1, 0, 1, 3);

  QLabel* instrumentResult = check(CalField::InstrumentCheck);
  instrumentResult->setAccessibleName(QStringLiteral("Instrument Check result"));
  QLabel* targetResult = check(CalField::TargetCheck);
  targetResult->setAccessibleName(QStringLiteral("Target Check result"));
  grid->addWidget(
      Button("Instrument Check", ID_INSTRUMENT_CHECK, &AutoCalibration::OnInstrumentCheck), 2, 0, 1,
      2);
  grid->addWidget(instrumentResult, 2, 2);
  grid->addWidget(Button("Target Check", ID_TARGET_CHECK, &AutoCalibration::OnTargetCheck), 3, 0, 1,
                  2);
  grid->addWidget(targetResult, 3, 2);
  grid->addWidget(Button("EEP FULL RESET", ID_EEP_FULL_RESET, &AutoCalibration::OnEepFullReset), 4,
                  0, 1, 3);
  grid->addWidget(Button("Battery CAL", ID_BATTERY_CAL, &AutoCalibration::OnBatteryCal), 5, 0, 1,
                  3);
  QPushButton* start =
      Button("AUTO CAL START", ID_AUTO_CAL_START, &AutoCalibration::OnAutoCalStart);
  start->setMinimumHeight(start->sizeHint().height() * 2);
  grid->addWidget(start, 6, 0, 1, 3);
  grid->addWidget(Button("EXIT", ID_EXIT, &AutoCalibration::OnExit), 7, 0, 1, 3);
  grid->setRowStretch(8, 1);
  return box;
}

QWidget* CAutocalibDlg::BuildStatus() {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  status_ = new ColourLabel(box);
  status_->setMinimumHeight(26);
  status_->setMinimumWidth(360);
  SetControlId(status_, ID_STATUS);
  progress_ = new QProgressBar(box);
  progress_->setRange(0, PROGRESS_MAX);
  progress_->setTextVisible(false);
  progress_->setAccessibleName(QStringLiteral("Progress"));
  SetControlId(progress_, ID_PROGRESS);
  auto* elapsed = new QLabel(box);
  elapsed->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  elapsed->setAlignment(Qt::AlignCenter);
  elapsed->setMinimumWidth(60);
  elapsed->setAccessibleName(QStringLiteral("Elapsed time"));
  SetControlId(elapsed, static_cast<int>(CalField::ElapsedTime));
  statics_[static_cast<int>(CalField::ElapsedTime)] = elapsed;
  row->addWidget(status_, 3);
  row->addWidget(progress_, 2);
  row->addWidget(elapsed);
  return box;
}

QWidget* CAutocalibDlg::BuildCharts() {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  for (LineChart** chart : {&gsm_chart_, &dcs_chart_, &rx_chart_}) {
    *chart = new LineChart(box);
    (*chart)->setMinimumHeight(170);
    row->addWidget(*chart);
  }
  gsm_chart_->setObjectName(QStringLiteral("chart_gsm_apc"));
  dcs_chart_->setObjectName(QStringLiteral("chart_dcs_apc"));
  rx_chart_->setObjectName(QStringLiteral("chart_rx"));
  RefreshCharts();
  return box;
}

// ---- the view --------------------------------------------------------------------------------

void CAutocalibDlg::SelectDefaults() {
  stage_->setCurrentIndex(5);
  model_->setCurrentIndex(0);
  mode_->setCurrentIndex(MODE_BOARD);
}

void CAutocalibDlg::SetStatus(const std::string& text, StatusLook look) {
  switch (look) {
    case StatusLook::Cleared:
      status_->SetFont(QString(), STATUS_FONT_HEIGHT, true);
      status_->SetTextColour(STATUS_CLEARED_TEXT);
      status_->SetBackgroundColour(Qt::black);
      break;
    case StatusLook::Running:
      status_->SetTextColour(STATUS_RUNNING_TEXT);
      status_->SetBackgroundColour(Qt::black);
      break;
    case StatusLook::Success:
      status_->SetTextColour(Qt::black);
      status_->SetBackgroundColour(STATUS_SUCCESS_BACKGROUND);
      break;
  }
  status_->SetText(Q(text));
}

void CAutocalibDlg::SetField(CalField field, const std::string& text) {
  const int id = static_cast<int>(field);
  if (auto it = edits_.find(id); it != edits_.end()) it->second->setText(Q(text));
  if (auto it = statics_.find(id); it != statics_.end()) it->second->setText(Q(text));
  if (field == CalField::ElapsedTime && !text.empty()) RunEnded();
}

void CAutocalibDlg::FillRows(QTreeWidget* list, const std::vector<std::string>& rows) {
  list->clear();
  const int columns = list->columnCount();
  for (const std::string& row : rows) {
    auto* item = new QTreeWidgetItem(list, QStringList{Q(row)});
    for (int c = 0; c < columns; ++c) item->setTextAlignment(c, Qt::AlignCenter);
  }
}

void CAutocalibDlg::ResetLists() {
  FillRows(lists_[static_cast<int>(CalList::GsmApc)], GsmRows());
  FillRows(lists_[static_cast<int>(CalList::DcsApc)], DcsRows());
  FillRows(lists_[static_cast<int>(CalList::RxChannel)], RxRows());
  curves_.NextHandset();
  RefreshCharts();
  if (repaint_watch_) repaint_watch_->Start();
}

void CAutocalibDlg::SetListCell(CalList list, int row, int column, const std::string& text) {
  QTreeWidget* view = lists_[static_cast<int>(list)];
  if (view == nullptr || row < 0 || row >= view->topLevelItemCount() || column < 1 ||
      column >= view->columnCount()) {
    return;
  }
  view->topLevelItem(row)->setText(column, Q(text));
  curves_.SetCell(list, row, column, text);
  RefreshCharts();
}

void CAutocalibDlg::SetProgress(int position) {
  progress_->setValue(position);
}

std::string CAutocalibDlg::ModelText() const {
  return model_->currentText().toStdString();
}

std::string CAutocalibDlg::StageText() const {
  return stage_->currentText().toStdString();
}

std::string CAutocalibDlg::PhoneName() const {
  return phone_name_->text().toStdString();
}

void CAutocalibDlg::CloseWindow() {
  if (closing_) return;  // asked from the close box: the window is closing already
  closing_ = true;
  close();
}

void CAutocalibDlg::RefreshCharts() {
  gsm_chart_->Data() = GsmApcChartData(curves_);
  dcs_chart_->Data() = DcsApcChartData(curves_);
  rx_chart_->Data() = RxChartData(curves_);
  for (LineChart* chart : {gsm_chart_, dcs_chart_, rx_chart_}) chart->update();
}

void CAutocalibDlg::RunEnded() {
  if (repaint_watch_ == nullptr) return;
  repaint_watch_->Stop();
  const auto* qtLoop = dynamic_cast<const QtEventLoop*>(&Context().loop);
  std::fprintf(stderr,
               "tesmira: full calibration in %u ms station time; longest interval without a "
               "repaint %lld ms (%lld paints); longest busy-wait stretch without one %u ms\n",
               logic_->ElapsedMs(), static_cast<long long>(repaint_watch_->LongestGapMs()),
               static_cast<long long>(repaint_watch_->Paints()),
               qtLoop ? qtLoop->LongestBusyGapMs() : 0u);
}

// ---- window --------------------------------------------------------------------------------

void CAutocalibDlg::TakePort() {
  if (logic_) logic_->TakePort();
}

bool CAutocalibDlg::OnEnter() {
  return logic_ && logic_->SwallowsEnter();
}

bool CAutocalibDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && OnEnter()) return true;
  }
  return ToolWindow::eventFilter(watched, event);
}

bool CAutocalibDlg::OnClose() {
  if (!closing_ && logic_) {
    closing_ = true;
    logic_->OnExit();  // the close box is "EXIT": the instruments close with the window
  }
  return true;
}

void CAutocalibDlg::Message(const std::string& text) {
  Context().notifier.Message(text);
}

void CAutocalibDlg::Result(const std::string& text) {
  COkfaildispDlg box(Q(text), this);
  Context().modal.Run(box);
}
