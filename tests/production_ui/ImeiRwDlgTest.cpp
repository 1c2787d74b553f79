#include "production/ImeiRwDlg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "production/ImeiRwMessages.h"
#include "sim/Bench.h"
#include "sim/BenchHandset.h"
#include "sim/HandsetCommands.h"
#include "sim/HandsetSim.h"
#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"
#include "support/GuiHelpers.h"

namespace {

namespace fs = std::filesystem;

// The window on the simulated bench in virtual time: its waits run on SimLoop, so a scan
// pressed through the window completes inside the click.
class ImeiRwDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tesmira-imeidlg-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    fs::current_path(dir_);  // the result files live in the current directory
    std::ofstream("swver.txt") << sim::HANDSET_SW_VERSION;
    std::ofstream("lpt1").close();
    ::setenv("TESMIRA_LPT1", (dir_ / "lpt1").c_str(), 1);
    handsetPort_.Open(1, 115200);
    loop_.RunFor(sim::Bench::BOOT_MS + 100);
  }
  void TearDown() override {
    // Windows closed by the test go now, while the ports they leave still exist.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir_);
    ::unsetenv("TESMIRA_LPT1");
  }
  CImeiRwDlg* MakeWindow() {
    auto* w = new CImeiRwDlg(context_, [this]() -> std::unique_ptr<Port> {
      return std::make_unique<SimScannerPort>(loop_, scanner_);
    });
    w->show();
    return w;
  }
  // SCAN runs from the event loop once the click is over.
  static void ClickScan(CImeiRwDlg* w) {
    QTest::mouseClick(w->Button("scan"), Qt::LeftButton);
    QCoreApplication::processEvents();
  }
  static void Type(QLineEdit* e, const QString& text) {
    e->clear();
    QTest::keyClicks(e, text);
  }

  fs::path dir_;
  SimLoop loop_;
  sim::Bench bench_{3, [this] { return loop_.Now(); }};
  SimPort handsetPort_{loop_};
  SimPortHandset handset_{loop_, handsetPort_, bench_};
  sim::ScannerModel scanner_{3};
  testsupport::RecordingNotifier notifier_;
  testsupport::ScriptedModal modal_;
  StationContext context_{loop_, handsetPort_, notifier_, modal_};
};

TEST_F(ImeiRwDlgTest, WindowHasItsTitleControlsAndInitialValues) {
  QPointer<CImeiRwDlg> w = MakeWindow();
  EXPECT_EQ(w->windowTitle(), "IMEI R/W");
  for (const char* name :
       {"hwRead", "hwSet", "swRead", "serialRead", "serialSet", "imeiReadButton", "imeiSet", "scan",
        "rtcSet", "regionRead", "regionSet", "next", "exit"}) {
    EXPECT_NE(w->Button(name), nullptr) << name;
  }
  auto* combo = w->findChild<QComboBox*>("regionCombo");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->itemText(0), "CH");
  EXPECT_EQ(combo->itemText(1), "HK");
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(w->findChild<QSpinBox*>("quantity")->value(), 1);
  EXPECT_EQ(w->findChild<QSpinBox*>("vertical")->value(), 10);
  EXPECT_EQ(w->findChild<QSpinBox*>("horizontal")->value(), 200);
  EXPECT_EQ(handsetPort_.Owner(), &w->Logic().GetExchange());  // its initialisation
  EXPECT_EQ(w->Field(ImeiField::IMEI_READ_3)->accessibleName(), "IMEI read, serial");
  EXPECT_EQ(w->findChild<QSpinBox*>("quantity")->accessibleName(), "발행수량");
  w->close();
  EXPECT_TRUE(testsupport::ProcessUntil([&] { return w.isNull(); }, 1000));
}

TEST_F(ImeiRwDlgTest, ButtonsAndFieldsReachTheHandset) {
  QPointer<CImeiRwDlg> w = MakeWindow();
  Type(w->Field(ImeiField::IMEI_INPUT_1), "350000");
  Type(w->Field(ImeiField::IMEI_INPUT_2), "00");
  Type(w->Field(ImeiField::IMEI_INPUT_3), "123456");
  Type(w->Field(ImeiField::IMEI_INPUT_4), "5");
  QTest::mouseClick(w->Button("imeiSet"), Qt::LeftButton);
  loop_.RunFor(300);
  EXPECT_EQ(bench_.handset().eeprom.ImeiDigits(), "350000001234565");
  QTest::mouseClick(w->Button("imeiReadButton"), Qt::LeftButton);
  loop_.RunFor(300);
  EXPECT_EQ(w->Field(ImeiField::IMEI_READ_1)->text(), "350000");
  EXPECT_EQ(w->Field(ImeiField::IMEI_READ_4)->text(), "5");

  auto* combo = w->findChild<QComboBox*>("regionCombo");
  combo->setCurrentText("HK");
  QTest::mouseClick(w->Button("regionSet"), Qt::LeftButton);
  loop_.RunFor(300);
  QTest::mouseClick(w->Button("regionRead"), Qt::LeftButton);
  loop_.RunFor(300);
  EXPECT_EQ(w->Field(ImeiField::REGION_DISPLAY)->text(), "HK");

  QTest::mouseClick(w->Button("swRead"), Qt::LeftButton);
  loop_.RunFor(300);
  EXPECT_EQ(w->Field(ImeiField::SW_DISPLAY)->text(), sim::HANDSET_SW_VERSION);
  QTest::mouseClick(w->Button("rtcSet"), Qt::LeftButton);
  loop_.RunFor(300);
  EXPECT_FALSE(w->Field(ImeiField::TIME)->text().isEmpty());

  w->findChild<QSpinBox*>("quantity")->setValue(3);
  w->findChild<QSpinBox*>("vertical")->setValue(20);
  w->findChild<QSpinBox*>("horizontal")->setValue(100);
  EXPECT_EQ(w->Logic().Quantity(), 3);
  EXPECT_EQ(w->Logic().Vertical(), 20);
  EXPECT_EQ(w->Logic().Horizontal(), 100);
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{});
  w->close();
}

TEST_F(ImeiRwDlgTest, ScanFromTheWindowRecordsAndPrints) {
  QPointer<CImeiRwDlg> w = MakeWindow();
  scanner_.codes = {"350000001234565"};
  w->findChild<QComboBox*>("regionCombo")->setCurrentText("CH");
  ClickScan(w);
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{});
  EXPECT_EQ(w->Field(ImeiField::CODE)->text(), "350000001234565");
  EXPECT_EQ(w->Field(ImeiField::IMEI_READ_3)->text(), "123456");
  EXPECT_TRUE(w->Button("scan")->isEnabled());
  EXPECT_TRUE(w->Button("imeiSet")->isEnabled());
  EXPECT_TRUE(fs::exists(dir_ / "Imeiresult.txt"));
  EXPECT_NE(fs::file_size(dir_ / "lpt1"), 0u);
  EXPECT_EQ(bench_.handset().eeprom.SpecialParam(100), 2);
  // "EXIT" deletes the scanner port with the window.
  ASSERT_NE(w->Logic().ScannerPort(), nullptr);
  QTest::mouseClick(w->Button("exit"), Qt::LeftButton);
  EXPECT_TRUE(testsupport::ProcessUntil([&] { return w.isNull(); }, 1000));
}

TEST_F(ImeiRwDlgTest, ButtonsAreDisabledAndExitWaitsWhileAScanRuns) {
  QPointer<CImeiRwDlg> w = MakeWindow();
  scanner_.codes = {"350000001234565"};
  w->findChild<QComboBox*>("regionCombo")->setCurrentText("HK");
  bool sawDisabled = false;
  bool stillOpen = false;
  loop_.After(1500, [&] {
    sawDisabled = !w->Button("scan")->isEnabled() && !w->Button("imeiReadButton")->isEnabled() &&
                  w->Button("exit")->isEnabled();
    w->Button("exit")->click();  // asked in the middle of the scan
    stillOpen = w->isVisible();
  });
  ClickScan(w);
  EXPECT_TRUE(sawDisabled);
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(fs::exists(dir_ / "Imeiresult.txt"));  // the scan ran to its end
  EXPECT_TRUE(testsupport::ProcessUntil([&] { return w.isNull(); }, 1000));
}

TEST_F(ImeiRwDlgTest, WindowDeletedDuringItsScanEndsTheScanQuietly) {
  // The main window deletes the tools it closes, even one that asked to wait.
  QPointer<CImeiRwDlg> w = MakeWindow();
  scanner_.codes = {"350000001234565"};
  w->findChild<QComboBox*>("regionCombo")->setCurrentText("HK");
  loop_.After(2500, [&] { delete w.data(); });
  ClickScan(w);
  EXPECT_TRUE(w.isNull());
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(dir_ / "Imeiresult.txt"));
  EXPECT_EQ(fs::file_size(dir_ / "lpt1"), 0u);
  loop_.RunFor(10000);  // nothing of the gone window runs later
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{});
}

TEST_F(ImeiRwDlgTest, EnterOnNextClearsTheFieldsAndAClickDoesNot) {
  QPointer<CImeiRwDlg> w = MakeWindow();
  Type(w->Field(ImeiField::IMEI_INPUT_1), "350000");
  Type(w->Field(ImeiField::SERIAL_INPUT), "123456");
  w->Field(ImeiField::TIME)->setText("12:00:00");
  QTest::mouseClick(w->Button("next"), Qt::LeftButton);
  EXPECT_EQ(w->Field(ImeiField::IMEI_INPUT_1)->text(), "350000");
  w->Button("next")->setFocus();
  QTest::keyClick(w->Button("next"), Qt::Key_Return);
  EXPECT_EQ(w->Field(ImeiField::IMEI_INPUT_1)->text(), "");
  EXPECT_EQ(w->Field(ImeiField::SERIAL_INPUT)->text(), "");
  EXPECT_EQ(w->Field(ImeiField::TIME)->text(), "");
  EXPECT_TRUE(w->isVisible());  // the key is consumed: the window stays
  w->close();
}

TEST_F(ImeiRwDlgTest, ScannerMessagesReachTheOperator) {
  QPointer<CImeiRwDlg> w = MakeWindow();
  scanner_.fault = sim::ScannerFault::G1_CODE;
  ClickScan(w);
  EXPECT_EQ(notifier_.messages,
            (std::vector<std::string>{MSG_CODE_LETTER, imeimsg::CODE_REJECTED}));
  EXPECT_FALSE(fs::exists(dir_ / "Imeiresult.txt"));
  w->close();
}

}  // namespace
