// The auto-calibration window driven through its controls against the simulated bench in
// virtual time: the station's loop is the bench's, so a full run takes well under a second.
#include "calibration/AutocalibDlg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "calibration/CalState.h"
#include "calibration/OkfaildispDlg.h"
#include "instruments/InstrumentState.h"
#include "link/Bcommand.h"
#include "platform/visa/SimDevice.h"
#include "sim/HandsetUnit.h"
#include "sim/instruments/SimBenchRig.h"
#include "support/GuiHelpers.h"
#include "widgets/ColourLabel.h"
#include "widgets/ControlIds.h"
#include "widgets/LineChart.h"

namespace {

using testsupport::RecordingNotifier;
using testsupport::ScriptedModal;

constexpr uint64_t RUN_LIMIT_MS = 3'600'000;  // station time

class AutocalibDlgTest : public ::testing::Test {
 protected:
  void Start(const std::string& supplyModel, int32_t supplyType) {
    // One rig at a time, and the window goes before the port it uses.
    if (dialog_) delete dialog_.data();
    context_.reset();
    rig_.reset();
    ResetCalState();
    ResetInstrumentState();
    ResetEncoderState();
    SimBenchConfig config;
    config.seed = 11;
    config.supplyModel = supplyModel;
    rig_ = std::make_unique<SimBenchRig>(config);
    auto values = DefaultRfConfigValues();  // "RF Parameter Setting" confirmed untouched
    values[15] = supplyType;
    ApplyRfConfig(values);
    context_ = std::make_unique<StationContext>(
        StationContext{rig_->loop(), rig_->port(), notifier_, modal_});
    rig_->port().Open(SimBenchRig::HANDSET_PORT, SimBenchRig::HANDSET_BAUD);
    dialog_ = new CAutocalibDlg(*context_);
    dialog_->Logic().SetResultLogPath(log_path_);
    dialog_->show();
  }
  void SetUp() override { std::filesystem::remove(log_path_); }
  void TearDown() override {
    delete dialog_.data();
    context_.reset();
    rig_.reset();
    std::filesystem::remove(log_path_);
  }

  template <typename T>
  T* Control(int id) {
    T* control = FindControl<T>(dialog_, id);
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
  }
  void Click(int id) {
    QPushButton* button = Control<QPushButton>(id);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  QString Text(int id) {
    if (auto* label = FindControl<QLabel>(dialog_, id)) return label->text();
    if (auto* edit = FindControl<QLineEdit>(dialog_, id)) return edit->text();
    ADD_FAILURE() << "no text control " << id;
    return {};
  }
  ColourLabel* Status() { return Control<ColourLabel>(CAutocalibDlg::ID_STATUS); }
  bool RunUntil(const std::function<bool()>& done, uint64_t limitMs = RUN_LIMIT_MS) {
    return rig_->loop().RunUntil(done, limitMs);
  }
  bool RunUntilStatus(const QString& text, uint64_t limitMs = RUN_LIMIT_MS) {
    return RunUntil([&] { return Status()->Text() == text; }, limitMs);
  }
  // The operator's way in: both checks, the handset answering.
  void CheckInstrumentsAndTarget() {
    Click(CAutocalibDlg::ID_INSTRUMENT_CHECK);
    ASSERT_EQ(Text(1374), "OK");
    rig_->loop().RunFor(2000);  // the handset boots on the supply's output
    Click(CAutocalibDlg::ID_TARGET_CHECK);
    ASSERT_TRUE(RunUntil([&] { return Text(1375) == "OK"; }, 10'000));
  }
  // Each result box: its text recorded, then confirmed with its OK button.
  void AnswerResultBoxes() {
    for (int i = 0; i < 4; ++i) {
      modal_.answers.push_back([this](QDialog& d) {
        auto* text = FindControl<QPlainTextEdit>(&d, COkfaildispDlg::ID_MESSAGE);
        results_.push_back(text ? text->toPlainText() : QStringLiteral("<no edit 1466>"));
        result_titles_.push_back(d.windowTitle());
        read_only_ = text && text->isReadOnly();
        if (auto* ok = FindControl<QPushButton>(&d, COkfaildispDlg::ID_OK)) ok->click();
        return d.result();
      });
    }
  }
  std::string Log() {
    std::ifstream in(log_path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string log_path_ = (std::filesystem::temp_directory_path() /
                           ("autocaldlg-" + std::to_string(::getpid()) + ".txt"))
                              .string();
  RecordingNotifier notifier_;
  ScriptedModal modal_;
  std::unique_ptr<SimBenchRig> rig_;
  std::unique_ptr<StationContext> context_;
  QPointer<CAutocalibDlg> dialog_;
  std::vector<QString> results_;
  std::vector<QString> result_titles_;
  bool read_only_ = false;
};

TEST_F(AutocalibDlgTest, OpensWithTheControlsTextsSelectionsAndColumns) {
  Start("3632A", SUPPLY_E3632A);
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("AutoCalibration"));
  EXPECT_EQ(Control<QComboBox>(1403)->currentText(), "ZR907XC907");
  auto* stage = Control<QComboBox>(1364);
  EXPECT_EQ(stage->count(), 6);
  EXPECT_EQ(stage->currentIndex(), 5);
  EXPECT_EQ(stage->currentText(), "MP");
  auto* mode = Control<QComboBox>(1472);
  ASSERT_EQ(mode->count(), 2);
  EXPECT_EQ(mode->itemText(0), "BOARD CALIBRATION");
  EXPECT_EQ(mode->itemText(1), "RF CALIBRATION");
  EXPECT_EQ(mode->currentIndex(), 0);
  EXPECT_EQ(Text(1374), "FAIL");
  EXPECT_EQ(Text(1375), "FAIL");

  const std::pair<int, const char*> buttons[] = {{1407, "AUTO CAL START"},
                                                 {1360, "Battery CAL"},
                                                 {1069, "Instrument Check"},
                                                 {1373, "Target Check"},
                                                 {1059, "EEP FULL RESET"},
                                                 {1033, "CLEAR"},
                                                 {1036, "EXIT"}};
  for (const auto& [id, text] : buttons) {
    auto* button = Control<QPushButton>(id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8(text));
  }
  for (int id : {1363, 1356, 1357, 1359, 1470})
    EXPECT_NE(FindControl<QLineEdit>(dialog_, id), nullptr) << id;
  for (int id : {1374, 1375, 1471}) EXPECT_NE(FindControl<QLabel>(dialog_, id), nullptr) << id;

  struct ListSpec {
    int id;
    std::vector<std::pair<QString, int>> columns;
    QStringList rows;
  };
  QStringList gsmRows, dcsRows;
  for (int level = 5; level <= 19; ++level) gsmRows << QString::number(level);
  for (int n = 0; n <= 15; ++n) dcsRows << QString::number(n);
  const ListSpec lists[] = {
      {1354, {{"level", 45}, {"GSM1", 55}, {"GSM2", 55}, {"GSM3", 55}}, gsmRows},
      {1371, {{"level", 45}, {"DCS1", 55}, {"DCS2", 55}, {"DCS3", 55}}, dcsRows},
      {1355,
       {{"channel", 40}, {"RF GAIN", 115}},
       {"1", "20", "40", "62", "80", "100", "124", "512", "585", "660", "700", "790", "835", "885",
        "975", "1000", "1023"}},
  };
  for (const ListSpec& spec : lists) {
    auto* list = Control<QTreeWidget>(spec.id);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->columnCount(), static_cast<int>(spec.columns.size())) << spec.id;
    for (int c = 0; c < list->columnCount(); ++c) {
      EXPECT_EQ(list->headerItem()->text(c), spec.columns[size_t(c)].first) << spec.id;
      EXPECT_EQ(list->columnWidth(c), spec.columns[size_t(c)].second) << spec.id;
      EXPECT_EQ(list->header()->defaultAlignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    }
    QStringList rows;
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
      rows << list->topLevelItem(r)->text(0);
      EXPECT_EQ(list->topLevelItem(r)->textAlignment(1) & Qt::AlignHCenter, Qt::AlignHCenter);
    }
    EXPECT_EQ(rows, spec.rows) << spec.id;
  }

  auto* progress = Control<QProgressBar>(1056);
  EXPECT_EQ(progress->minimum(), 0);
  EXPECT_EQ(progress->maximum(), 200);
  EXPECT_EQ(progress->value(), 0);
  // The status line at dialog start: empty, 12 px bold, RGB(0,255,64) on black.
  ColourLabel* status = Status();
  EXPECT_TRUE(status->Text().isEmpty());
  EXPECT_EQ(status->font().pixelSize(), 12);
  EXPECT_TRUE(status->font().bold());
  EXPECT_EQ(status->TextColour(), QColor(0, 255, 64));
  EXPECT_EQ(status->BackgroundColour(), QColor(Qt::black));
}

TEST_F(AutocalibDlgTest, AFullCalibrationFromTheButtonsFillsListsFieldsLogAndPlots) {
  Start("3632A", SUPPLY_E3632A);
  Control<QLineEdit>(1363)->setText("bench 7");
  CheckInstrumentsAndTarget();

  std::vector<std::pair<QString, QColor>> running;  // each status text with its colour
  QObject::connect(Control<QProgressBar>(1056), &QProgressBar::valueChanged, dialog_, [&] {
    if (running.empty() || running.back().first != Status()->Text()) {
      running.emplace_back(Status()->Text(), Status()->TextColour());
    }
  });
  int maxProgress = 0;
  QObject::connect(Control<QProgressBar>(1056), &QProgressBar::valueChanged, dialog_,
                   [&](int v) { maxProgress = std::max(maxProgress, v); });

  Click(CAutocalibDlg::ID_AUTO_CAL_START);
  EXPECT_TRUE(Text(1471).isEmpty());
  ASSERT_TRUE(RunUntilStatus("Calibration Success.... ")) << Status()->Text().toStdString();
  EXPECT_TRUE(notifier_.messages.empty()) << notifier_.messages.front();
  EXPECT_EQ(modal_.unexpected, 0);

  // Success: black on RGB(0,255,64); the running messages were RGB(128,255,0) on black.
  EXPECT_EQ(Status()->TextColour(), QColor(Qt::black));
  EXPECT_EQ(Status()->BackgroundColour(), QColor(0, 255, 64));
  ASSERT_FALSE(running.empty());
  for (const auto& [text, colour] : running) {
    if (text.isEmpty()) continue;
    EXPECT_EQ(colour, QColor(128, 255, 0)) << text.toStdString();
  }
  EXPECT_EQ(Control<QProgressBar>(1056)->value(), 0);
  EXPECT_GT(maxProgress, 3);
  EXPECT_LE(maxProgress, 200);
  EXPECT_EQ(Text(1375), "OK");

  // The elapsed time of the run as minutes and seconds.
  const uint32_t seconds = dialog_->Logic().ElapsedMs() / 1000;
  EXPECT_GT(seconds, 60u);
  EXPECT_EQ(Text(1471), QString::asprintf("%02u:%02u", (seconds / 60) % 60, seconds % 60));

  auto filled = [&](int id, int columns) {
    auto* list = Control<QTreeWidget>(id);
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
      for (int c = 1; c <= columns; ++c) {
        bool number = false;
        list->topLevelItem(r)->text(c).toInt(&number);
        if (!number) return ::testing::AssertionFailure() << id << " row " << r << " col " << c;
      }
    }
    return ::testing::AssertionSuccess();
  };
  EXPECT_TRUE(filled(1354, 3));
  EXPECT_TRUE(filled(1371, 3));
  EXPECT_TRUE(filled(1355, 1));
  // The lists show what the handset got.
  const CalState& cal = Cal();
  EXPECT_EQ(Control<QTreeWidget>(1354)->topLevelItem(0)->text(1),
            QString::number(cal.GsmApcTable[1][5]));
  EXPECT_EQ(Control<QTreeWidget>(1371)->topLevelItem(15)->text(3),
            QString::number(cal.DcsApcTable[3][15]));
  EXPECT_EQ(Control<QTreeWidget>(1355)->topLevelItem(16)->text(1),
            QString::number(cal.RxCalTable[16]));
  EXPECT_EQ(Text(1356), QString::number(cal.GmagicResultGsm));
  EXPECT_EQ(Text(1357), QString::number(cal.GmagicResultDcs));

  const std::string log = Log();
  for (const char* section :
       {"##########  Phone Model :  ZR907XC907  stage : MP  name : bench 7  ##########",
        "***** Gmagic Calibration ***** ", "***** RX CHANNEL Calibration ***** ",
        "***** APC GSM TX Calibration *****", "***** APC DCS TX Calibration *****"}) {
    EXPECT_NE(log.find(section), std::string::npos) << section;
  }

  // Plots: one line per sub-band with every level, the RX corrections per channel.
  LineChart* gsm = dialog_->GsmChart();
  int current = 0;
  for (const ChartSeries& s : gsm->Data().series) {
    if (s.faint) continue;
    ++current;
    ASSERT_EQ(s.points.size(), 15u);
    for (double v : s.points) EXPECT_TRUE(std::isfinite(v));
  }
  EXPECT_EQ(current, 3);
  EXPECT_EQ(dialog_->RxChart()->Data().stepLabels.size(), 17);

  // The next handset's run puts these curves faintly behind.
  Click(CAutocalibDlg::ID_AUTO_CAL_START);
  const CurveSet& previous = dialog_->Curves().Previous();
  EXPECT_EQ(previous.gsm[0][0], cal.GsmApcTable[1][5]);
  EXPECT_TRUE(std::isnan(dialog_->Curves().Current().gsm[0][0]));
  bool faintShown = false;
  for (const ChartSeries& s : dialog_->GsmChart()->Data().series) {
    if (s.faint && !s.points.empty() && std::isfinite(s.points.front())) faintShown = true;
  }
  EXPECT_TRUE(faintShown);
}

// A unit the calibration cannot correct: the result box with the step's text, then the
// window back to its stopped state.
TEST_F(AutocalibDlgTest, AFailingUnitShowsTheResultBoxAndTheWindowStops) {
  struct Case {
    sim::UnitDefect defect;
    const char* message;
  };
  const Case cases[] = {
      {sim::UnitDefect::GMAGIC, "GMAGIC CAL FAIL"},
      {sim::UnitDefect::RX, "******  RXCAL FAIL  ******"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    results_.clear();
    modal_.answers.clear();
    Start("3632A", SUPPLY_E3632A);
    CheckInstrumentsAndTarget();
    rig_->bench().ForceDefect(c.defect);
    AnswerResultBoxes();
    Click(CAutocalibDlg::ID_AUTO_CAL_START);
    ASSERT_TRUE(RunUntil([&] { return !results_.empty(); }));
    EXPECT_EQ(results_, std::vector<QString>{QString::fromUtf8(c.message)});
    EXPECT_TRUE(result_titles_.back().isEmpty());
    EXPECT_TRUE(read_only_);

    EXPECT_EQ(dialog_->Logic().ActiveStep(), STEP_IDLE);
    EXPECT_FALSE(dialog_->Logic().FullSequence());
    EXPECT_TRUE(Status()->Text().isEmpty());
    EXPECT_EQ(Status()->TextColour(), QColor(0, 255, 64));
    EXPECT_EQ(Status()->BackgroundColour(), QColor(Qt::black));
    EXPECT_EQ(Control<QProgressBar>(1056)->value(), 0);
    EXPECT_EQ(Text(1374), "OK");  // the stop checks the instruments again
    EXPECT_TRUE(Text(1471).isEmpty());
    rig_->loop().RunFor(10'000);
    EXPECT_EQ(results_.size(), 1u) << "the stopped window went on";
  }
}

TEST_F(AutocalibDlgTest, EnterIsSwallowedOnlyWhileBothChecksShowOkAndNoStepRuns) {
  Start("3632A", SUPPLY_E3632A);
  Click(CAutocalibDlg::ID_INSTRUMENT_CHECK);
  rig_->loop().RunFor(2000);
  // Target check not passed: Enter is the dialog's own, the focused button takes it.
  auto* target = Control<QPushButton>(CAutocalibDlg::ID_TARGET_CHECK);
  target->setFocus();
  QTest::keyClick(target, Qt::Key_Return);
  ASSERT_TRUE(RunUntil([&] { return Text(1375) == "OK"; }, 10'000));

  auto* start = Control<QPushButton>(CAutocalibDlg::ID_AUTO_CAL_START);
  start->setFocus();
  QTest::keyClick(start, Qt::Key_Return);
  EXPECT_EQ(dialog_->Logic().ActiveStep(), STEP_IDLE);
  EXPECT_FALSE(dialog_->Logic().FullSequence());
  QTest::mouseClick(start, Qt::LeftButton);  // the button itself still works
  EXPECT_EQ(dialog_->Logic().ActiveStep(), STEP_GMAGIC);
}

TEST_F(AutocalibDlgTest, ExitAndTheCloseBoxCloseTheInstrumentsAndTheWindow) {
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "EXIT");
    Start("3632A", SUPPLY_E3632A);
    Click(CAutocalibDlg::ID_INSTRUMENT_CHECK);
    ASSERT_NE(Instruments().TestSetHandle, 0u);
    ASSERT_NE(Instruments().SupplyHandle, 0u);
    if (closeBox) {
      dialog_->close();
    } else {
      Click(CAutocalibDlg::ID_EXIT);
    }
    EXPECT_EQ(Instruments().TestSetHandle, 0u);
    EXPECT_EQ(Instruments().SupplyHandle, 0u);
    ASSERT_TRUE(testsupport::ProcessUntil(
        [&] {
          QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
          return dialog_.isNull();
        },
        2000))
        << "the window stays";
  }
}

// Production: "RF CALIBRATION" with a supply; the handset is put in and taken out of the jig.
TEST_F(AutocalibDlgTest, TheProductionLoopStartsOnCurrentAndWaitsForRemoval) {
  Start("3632A", SUPPLY_E3632A);
  rig_->bench().InsertHandset(false);
  Control<QComboBox>(1472)->setCurrentIndex(1);
  EXPECT_EQ(dialog_->Logic().SelectedMode(), MODE_RF);
  Click(CAutocalibDlg::ID_INSTRUMENT_CHECK);
  ASSERT_TRUE(RunUntilStatus("Ready to Test. !", 5'000));
  rig_->loop().RunFor(5'000);
  EXPECT_EQ(dialog_->Logic().ActiveStep(), STEP_IDLE) << "started without a handset";

  // Put in: the next poll sees its current, and the run starts after the 3500 ms settling.
  rig_->bench().InsertHandset(true);
  const uint64_t inserted = rig_->loop().Now();
  ASSERT_TRUE(RunUntil([&] { return dialog_->Logic().FullSequence(); }, 10'000));
  EXPECT_GE(rig_->loop().Now() - inserted, 3500u);
  EXPECT_LE(rig_->loop().Now() - inserted, 3500u + 300u + 200u);
  ASSERT_TRUE(RunUntilStatus("Calibration Success.... ")) << Status()->Text().toStdString();
  ASSERT_TRUE(RunUntilStatus("Remove the PHONE. !", 2'000));
  rig_->loop().RunFor(10'000);
  EXPECT_EQ(Status()->Text(), "Remove the PHONE. !");
  EXPECT_FALSE(dialog_->Logic().FullSequence()) << "a second run on the same handset";

  rig_->bench().InsertHandset(false);
  rig_->bench().NewUnit();
  ASSERT_TRUE(RunUntilStatus("Ready to Test. !", 2'000));
  rig_->bench().InsertHandset(true);
  ASSERT_TRUE(RunUntil([&] { return dialog_->Logic().FullSequence(); }, 10'000))
      << "the next handset is not calibrated";
}

// An E3631A comes out of the instrument check's reset with its output off; the probe then
// goes unanswered and the status line says why.
TEST_F(AutocalibDlgTest, AnUnansweredTargetCheckOnAnUnpoweredJigSaysTheHandsetDrawsNoCurrent) {
  Start("3631A", SUPPLY_E3631A);
  Click(CAutocalibDlg::ID_INSTRUMENT_CHECK);
  ASSERT_EQ(Text(1374), "OK");
  rig_->loop().RunFor(2000);
  Click(CAutocalibDlg::ID_TARGET_CHECK);
  EXPECT_TRUE(RunUntilStatus(QString::fromUtf8(NO_CURRENT_TEXT), 5'000));
  EXPECT_EQ(Text(1375), "FAIL");
  EXPECT_EQ(Instruments().InstrumentFault, 0);

  // The same silence with the handset powered is not blamed on the supply.
  Status()->SetText(QString());
  visa::FindSimDevice("GPIB::5::INSTR")->Write("APPL P6V,3.8,3.0");
  visa::FindSimDevice("GPIB::5::INSTR")->Write("OUTP ON");
  rig_->bench().faults.silentHandset = true;
  rig_->loop().RunFor(10'000);
  EXPECT_TRUE(Status()->Text().isEmpty()) << Status()->Text().toStdString();
  rig_->bench().faults.silentHandset = false;
  ASSERT_TRUE(RunUntil([&] { return Text(1375) == "OK"; }, 10'000)) << "the probe is repeated";

  // Once the handset answers, the hint goes.
  visa::FindSimDevice("GPIB::5::INSTR")->Write("OUTP OFF");
  Click(CAutocalibDlg::ID_TARGET_CHECK);
  ASSERT_TRUE(RunUntilStatus(QString::fromUtf8(NO_CURRENT_TEXT), 5'000));
  visa::FindSimDevice("GPIB::5::INSTR")->Write("OUTP ON");
  ASSERT_TRUE(RunUntil([&] { return Text(1375) == "OK"; }, 10'000));
  EXPECT_TRUE(Status()->Text().isEmpty()) << Status()->Text().toStdString();
}

}  // namespace
