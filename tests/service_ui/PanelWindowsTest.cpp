// The service windows offscreen, wired to the simulated handset in virtual time: the windows'
// timers run on the SimLoop the test advances, clicks and keys go through Qt.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/MenuTable.h"
#include "app/ToolTable.h"
#include "link/Bcommand.h"
#include "service/EepmapDlg.h"
#include "service/LogicTestDlg.h"
#include "service/RfTestDlg.h"
#include "sim/BenchHandset.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"
#include "support/GuiHelpers.h"
#include "widgets/ControlIds.h"

namespace fs = std::filesystem;
using testsupport::RecordingNotifier;
using testsupport::ScriptedModal;

namespace {

class PanelWindows : public ::testing::Test {
 protected:
  PanelWindows() {
    ResetEncoderState();
    port_.Open(1, 115200);
    dir_ = fs::temp_directory_path() / ("service-ui-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    previous_ = fs::current_path();
    fs::current_path(dir_);  // "Eepresult.txt" lands in the current directory
  }
  ~PanelWindows() override {
    // The windows go before the loop and port they hold on to.
    for (auto& w : windows_) delete w.data();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  template <typename W>
  QPointer<W> Open() {
    auto* w = new W(context_);
    w->show();
    windows_.emplace_back(w);
    return QPointer<W>(w);
  }
  void Run(uint64_t ms) {
    loop_.RunFor(ms);
    QApplication::processEvents();
  }
  void Type(QWidget* root, int id, const QString& text) {
    auto* edit = FindControl<QLineEdit>(root, id);
    ASSERT_NE(edit, nullptr) << id;
    edit->setText(text);
  }

  SimLoop loop_;
  sim::Bench bench_{5, [this] { return loop_.Now(); }};
  SimPort port_{loop_};
  SimPortHandset handset_{loop_, port_, bench_};
  RecordingNotifier notifier_;
  ScriptedModal modal_;
  StationContext context_{loop_, port_, notifier_, modal_};
  fs::path dir_;
  fs::path previous_;
  std::vector<QPointer<QWidget>> windows_;
};

TEST_F(PanelWindows, TheMenuOpensEachWindowWithItsTitle) {
  const std::pair<int, const char*> expected[] = {{ID_REPAIR_RF_TEST, "RF TEST"},
                                                  {ID_REPAIR_LOGIC_TEST, "Logic Test"},
                                                  {ID_VIEW_EEPROM_MAP, "EEPROM MAP"}};
  for (const auto& [id, title] : expected) {
    const ToolKind* kind = nullptr;
    for (const ToolKind& k : StationToolKinds()) {
      if (k.commandId == id) kind = &k;
    }
    ASSERT_TRUE(kind != nullptr && kind->create != nullptr) << id;
    QPointer<ToolWindow> w = kind->create(context_);
    windows_.emplace_back(w.data());
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8(title));
    EXPECT_NE(port_.Owner(), nullptr);  // its initialisation took the port
    w->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull()) << title;
    EXPECT_EQ(port_.Owner(), nullptr) << title;  // a closed window leaves the port
  }
}

TEST_F(PanelWindows, RfTestButtonsCarryTheFieldsToTheHandset) {
  auto w = Open<CRfTestDlg>();
  Type(w, CRfTestDlg::ID_TX_CHANNEL, "600");
  Type(w, CRfTestDlg::ID_TX_POWER_LEVEL, "5");
  QTest::mouseClick(w->Button(RfButton::TX_PL_SET), Qt::LeftButton);
  Run(500);
  EXPECT_EQ(bench_.handset().txLevel, 105);

  Type(w, CRfTestDlg::ID_TX_CHANNEL, "300");
  QTest::mouseClick(w->Button(RfButton::TX_PL_SET), Qt::LeftButton);
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{"Invalid setting"});

  Type(w, CRfTestDlg::ID_AFC_DAC, "-2.5");
  QTest::mouseClick(w->Button(RfButton::AFC_DAC_SET), Qt::LeftButton);
  Run(500);
  // The encoder carries the AFC DAC in eighths.
  EXPECT_EQ(static_cast<int16_t>(bench_.handset().rfParams[9]), -2 * 8);
  EXPECT_EQ(FindControl<QLineEdit>(w, CRfTestDlg::ID_RESULT)->text(), QString());
  w->close();
}

TEST_F(PanelWindows, RfTestEnterSendsTheFreeLineAndNeverClosesThePanel) {
  auto w = Open<CRfTestDlg>();
  auto* other = FindControl<QLineEdit>(w, CRfTestDlg::ID_OTHER_COMMAND);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->maxLength(), 51);
  other->setText(QStringLiteral("rfpw 2 62"));
  QTest::keyClick(other, Qt::Key_Return);
  Run(500);
  EXPECT_EQ(bench_.handset().rfParams[2], 62);
  EXPECT_TRUE(other->text().isEmpty());
  ASSERT_FALSE(w.isNull());
  EXPECT_TRUE(w->isVisible());

  // On a button, Enter is still the free line's: the button is not pressed.
  QPushButton* txOn = w->Button(RfButton::TX_ON);
  txOn->setFocus();
  const size_t writes = port_.writes.size();
  QTest::keyClick(txOn, Qt::Key_Enter);
  Run(500);
  EXPECT_EQ(port_.writes.size(), writes);
  EXPECT_TRUE(w->isVisible());
  w->close();
}

TEST_F(PanelWindows, RfTestOnAClosedLinkShowsCommandError) {
  port_.Close();
  auto w = Open<CRfTestDlg>();
  QTest::mouseClick(w->Button(RfButton::TX_TESTMODE_INIT), Qt::LeftButton);
  Run(RF_TEST_TIMEOUT_MS - 1);
  auto* result = FindControl<QLineEdit>(w, CRfTestDlg::ID_RESULT);
  EXPECT_TRUE(result->text().isEmpty());
  Run(1);
  EXPECT_EQ(result->text(), QStringLiteral("Command Error"));
  EXPECT_TRUE(notifier_.messages.empty());
  // Enter clears it.
  QTest::keyClick(FindControl<QLineEdit>(w, CRfTestDlg::ID_OTHER_COMMAND), Qt::Key_Return);
  EXPECT_TRUE(result->text().isEmpty());
  w->close();
}

TEST_F(PanelWindows, LogicTestTogglesCaptionsAndShowsWriteSuccess) {
  auto w = Open<CLogicTestDlg>();
  QPushButton* backlight = w->Button(LogicButton::BACK_LIGHT);
  QTest::mouseClick(backlight, Qt::LeftButton);
  Run(300);
  EXPECT_EQ(backlight->text(), QStringLiteral("Back Light OFF"));
  EXPECT_TRUE(bench_.handset().backlight);

  Type(w, CLogicTestDlg::ID_GAIN, "100");
  QPushButton* tone = w->Button(LogicButton::SPK_TONE);
  QTest::mouseClick(tone, Qt::LeftButton);
  Run(300);
  EXPECT_EQ(tone->text(), QStringLiteral("SPKTONE OFF"));
  EXPECT_EQ(bench_.handset().speakerGain, 100);
  EXPECT_EQ(bench_.handset().speakerTone, 1);

  auto* vol = FindControl<QComboBox>(w, CLogicTestDlg::ID_SUB_VOL);
  ASSERT_NE(vol, nullptr);
  EXPECT_EQ(vol->count(), 64);
  vol->setFocus();
  QTest::keyClick(vol, Qt::Key_Down);  // an operator's choice: "1"
  Run(300);
  EXPECT_EQ(bench_.handset().eeprom.SpecialParam(52), 1);
  auto* value = FindControl<QComboBox>(w, CLogicTestDlg::ID_MAIN_CONTRAST);
  value->setCurrentIndex(value->findText(QStringLiteral("28")));
  QTest::mouseClick(w->Button(LogicButton::MAIN_LCD_CONTRAST), Qt::LeftButton);
  Run(300);
  EXPECT_EQ(bench_.handset().eeprom.SpecialParam(51), 28);

  for (int id : {CLogicTestDlg::ID_RED, CLogicTestDlg::ID_GREEN, CLogicTestDlg::ID_BLUE}) {
    auto* box = FindControl<QCheckBox>(w, id);
    ASSERT_NE(box, nullptr) << id;
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(box->isEnabled());
  }

  auto* result = FindControl<QLineEdit>(w, CLogicTestDlg::ID_RESULT);
  QTest::mouseClick(w->Button(LogicButton::LOGIC_DATA_SAVE), Qt::LeftButton);
  Run(300);
  EXPECT_EQ(result->text(), QStringLiteral("WRITE SUCCESS"));
  Run(RESULT_CLEAR_MS);
  EXPECT_TRUE(result->text().isEmpty());
  EXPECT_TRUE(notifier_.messages.empty());
  w->close();
}

TEST_F(PanelWindows, LogicTestGainFieldRefusesAndEnterPressesNothing) {
  auto w = Open<CLogicTestDlg>();
  Type(w, CLogicTestDlg::ID_GAIN, "256");
  QTest::mouseClick(w->Button(LogicButton::SPK_TONE), Qt::LeftButton);
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{"invalid Gain range"});
  EXPECT_EQ(w->Button(LogicButton::SPK_TONE)->text(), QStringLiteral("SPK TONE TEST"));
  const size_t writes = port_.writes.size();
  QTest::keyClick(FindControl<QLineEdit>(w, CLogicTestDlg::ID_GAIN), Qt::Key_Return);
  Run(300);
  EXPECT_EQ(port_.writes.size(), writes);
  ASSERT_FALSE(w.isNull());
  EXPECT_TRUE(w->isVisible());
  w->close();
}

TEST_F(PanelWindows, EepromMapListsTheDumpAndAppendsTheResultFile) {
  auto w = Open<CEepmapDlg>();
  auto* read = FindControl<QPushButton>(w, CEepmapDlg::ID_READ);
  ASSERT_NE(read, nullptr);
  QTest::mouseClick(read, Qt::LeftButton);
  ASSERT_TRUE(loop_.RunUntil([&] { return !w->Logic().Reading(); }, 60000));
  QListWidget* list = w->List();
  ASSERT_EQ(list->count(), 2560);
  for (int a : {0, 130, 1279, 2559}) {
    const uint8_t byte = bench_.handset().eeprom.Byte(a);
    EXPECT_EQ(list->item(a)->text().toStdString(),
              QString::fromLatin1(EepromLine(a, byte).c_str()).toStdString())
        << a;
  }
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{"reading End"});
  ASSERT_TRUE(fs::exists(dir_ / "Eepresult.txt"));
  std::ifstream file(dir_ / "Eepresult.txt", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string expected;
  for (int a = 0; a < 2560; ++a) {
    if (a % 64 == 0) expected += "\r\n";
    expected += EepromLine(a, bench_.handset().eeprom.Byte(a)) + "\r\n";
  }
  EXPECT_EQ(content, expected);

  QTest::mouseClick(FindControl<QPushButton>(w, CEepmapDlg::ID_CLEAR), Qt::LeftButton);
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(w->Logic().Counter(), 0);
  QTest::mouseClick(FindControl<QPushButton>(w, CEepmapDlg::ID_OK), Qt::LeftButton);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
}

}  // namespace
