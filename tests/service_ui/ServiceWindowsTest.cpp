// The service windows driven through their controls, offscreen, against the simulated handset
// in virtual time: the windows run on the same SimLoop as the handset.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "service/GsmrampDlg.h"
#include "service/ManualCalDlg.h"
#include "service/ResultdispDlg.h"
#include "service/ServiceBench.h"
#include "service/ServiceText.h"
#include "support/GuiHelpers.h"
#include "widgets/ControlIds.h"
#include "widgets/LineChart.h"
#include "widgets/LogEdit.h"

namespace {

class ServiceWindowsTest : public ::testing::Test {
 protected:
  void Run(uint64_t ms) {
    s.loop.RunFor(ms);
    QApplication::processEvents();
  }
  template <typename T>
  T* Named(QWidget* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  ServiceBench s;
  testsupport::ScriptedModal modal;
  StationContext context{s.loop, s.port, s.messages, modal};
};

TEST_F(ServiceWindowsTest, ManualCommandWindowSendsTypedLines) {
  QPointer<CManualCalDlg> window = new CManualCalDlg(context);
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("MANUAL CAL "));
  auto* line = FindControl<QLineEdit>(window, CManualCalDlg::ID_COMMAND_LINE);
  auto* display = FindControl<CLogEdit>(window, CManualCalDlg::ID_DISPLAY);
  auto* send = FindControl<QPushButton>(window, CManualCalDlg::ID_SEND);
  auto* clear = FindControl<QPushButton>(window, CManualCalDlg::ID_CLEAR);
  auto* exit = FindControl<QPushButton>(window, CManualCalDlg::ID_EXIT);
  ASSERT_TRUE(line && display && send && clear && exit);
  EXPECT_EQ(send->text(), QStringLiteral("SEND"));
  EXPECT_EQ(s.port.Owner(), &window->Logic().GetExchange());

  // Enter in the command line sends like "SEND", and the line keeps the focus.
  line->setFocus();
  QTest::keyClicks(line, QStringLiteral("se 5"));
  QTest::keyClick(line, Qt::Key_Return);
  EXPECT_EQ(display->Text(), QStringLiteral("se 5"));
  EXPECT_TRUE(line->text().isEmpty());
  Run(1000);
  EXPECT_EQ(display->Text(), QStringLiteral("se 5\nTarget Resetted"));
  QTest::mouseClick(display->viewport(), Qt::LeftButton);
  EXPECT_TRUE(line->hasFocus());

  QTest::keyClicks(line, QStringLiteral("str 60"));
  QTest::mouseClick(send, Qt::LeftButton);
  Run(1000);
  EXPECT_TRUE(display->Text().startsWith(QStringLiteral("se 5\nTarget Resetted\nstr 60\n")));

  // "CLEAR" while a request is pending: the answer starts the new text.
  QTest::keyClicks(line, QStringLiteral("se 1"));
  QTest::keyClick(line, Qt::Key_Return);
  QTest::mouseClick(clear, Qt::LeftButton);
  EXPECT_TRUE(display->Text().isEmpty());
  Run(1000);
  EXPECT_EQ(display->Text(), QStringLiteral("Saved to EEPROM"));

  s.bench.faults.silentHandset = true;
  QTest::keyClicks(line, QStringLiteral("ttr 1"));
  QTest::keyClick(line, Qt::Key_Return);
  Run(ManualCal::ANSWER_TIMEOUT_MS);
  EXPECT_EQ(display->Text(), QStringLiteral("Saved to EEPROM\nttr 1\nNo Response"));

  s.port.Close();
  QTest::keyClicks(line, QStringLiteral("se 5"));
  QTest::keyClick(line, Qt::Key_Return);
  EXPECT_TRUE(display->Text().endsWith(QStringLiteral("\nse 5")));
  EXPECT_EQ(s.messages.texts, std::vector<std::string>{LINK_CLOSED_MESSAGE});

  QTest::mouseClick(exit, Qt::LeftButton);
  EXPECT_TRUE(testsupport::ProcessUntil([&] { return window.isNull(); }, 2000));
  EXPECT_EQ(s.port.Owner(), nullptr);
}

TEST_F(ServiceWindowsTest, RampEditorReadsLevelsTemplatesAndDac) {
  ASSERT_TRUE(s.bench.handset().eeprom.SetApc(3, 2, 3, 300));
  std::array<int8_t, 32> full;
  full.fill(31);
  s.bench.handset().eeprom.SetRampTemplate(18, full);

  QPointer<CGsmramp> window = new CGsmramp(context);
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("GSM RAMP TABLE"));
  auto* band = Named<QComboBox>(window, "BAND");
  auto* level = Named<QComboBox>(window, "TX LEVEL");
  auto* index = Named<QComboBox>(window, "INDEX");
  auto* dac = Named<QLineEdit>(window, "DAC");
  auto* result = Named<QLineEdit>(window, "Result");
  auto* upTotal = Named<QLineEdit>(window, "RAMP UP TOTAL");
  auto* downTotal = Named<QLineEdit>(window, "RAMP DOWN TOTAL");
  auto* load = Named<QPushButton>(window, "LOAD");
  auto* call = Named<QPushButton>(window, "CALL");
  auto* value0 = Named<RampValueBox>(window, "value0");
  auto* value31 = Named<RampValueBox>(window, "value31");
  ASSERT_TRUE(band && level && index && dac && result && upTotal && downTotal && load && call &&
              value0 && value31);
  EXPECT_EQ(band->currentIndex(), -1);
  // Captions keep their trailing spaces.
  EXPECT_EQ(Named<QPushButton>(window, "SAVE to EEP")->text(), QStringLiteral("SAVE to EEP "));
  EXPECT_EQ(Named<QPushButton>(window, "display window")->text(),
            QStringLiteral("display window "));
  EXPECT_EQ(level->count(), 31);
  EXPECT_EQ(index->count(), 31);

  // An edit before any template was read changes the totals only.
  value0->Edit()->setText(QStringLiteral("7"));
  EXPECT_EQ(upTotal->text(), QStringLiteral("7"));
  EXPECT_TRUE(window->Chart()->Series(0).points.empty());
  // The arrows step within 0-31 from whatever the field holds.
  value31->Edit()->setText(QStringLiteral("40"));
  value31->stepBy(1);
  EXPECT_EQ(value31->Edit()->text(), QStringLiteral("31"));
  value31->stepBy(-40);
  EXPECT_EQ(value31->Edit()->text(), QStringLiteral("0"));

  band->setCurrentIndex(4);
  emit band->activated(4);
  level->setCurrentIndex(level->findText(QStringLiteral("103")));
  emit level->activated(level->currentIndex());
  Run(1000);
  EXPECT_EQ(index->currentText(), QStringLiteral("18"));
  EXPECT_EQ(dac->text(), QStringLiteral("300"));
  EXPECT_EQ(result->text(), QStringLiteral("command success"));

  // The result display gets every successful answer while it is open.
  Named<QPushButton>(window, "display window")->click();
  QPointer<CResultdispDlg> display = window->ResultDisplay();
  ASSERT_TRUE(display);
  EXPECT_EQ(display->windowTitle(), QStringLiteral("Result Display"));
  load->click();
  Run(1000);
  EXPECT_EQ(upTotal->text(), QStringLiteral("496"));
  EXPECT_EQ(downTotal->text(), QStringLiteral("496"));
  EXPECT_EQ(value0->Edit()->text(), QStringLiteral("31"));
  EXPECT_EQ(window->Chart()->Series(0).points.size(), 32u);
  const QString shown = FindControl<CLogEdit>(display, CResultdispDlg::ID_DISPLAY)->Text();
  EXPECT_TRUE(shown.startsWith(QString(68, '-') + QStringLiteral("\nUp Ramp Templete #18\n")))
      << shown.toStdString();

  // Closed, it receives nothing; the next press opens a new one.
  display->close();
  window->activateWindow();
  EXPECT_TRUE(testsupport::ProcessUntil([&] { return display.isNull(); }, 2000));
  call->click();
  Run(1000);
  EXPECT_EQ(call->text(), QStringLiteral("CALL END"));
  call->click();
  Run(1000);
  EXPECT_EQ(call->text(), QStringLiteral("CALL"));
  Named<QPushButton>(window, "display window")->click();
  ASSERT_NE(window->ResultDisplay(), nullptr);
  EXPECT_TRUE(
      FindControl<CLogEdit>(window->ResultDisplay(), CResultdispDlg::ID_DISPLAY)->Text().isEmpty());

  // A typed line: sent on Enter, the field emptied.
  auto* commandWindow = Named<QLineEdit>(window, "Command Window");
  commandWindow->setFocus();
  QTest::keyClicks(commandWindow, QStringLiteral("txpw 1 10"));
  QTest::keyClick(commandWindow, Qt::Key_Return);
  EXPECT_TRUE(commandWindow->text().isEmpty());
  EXPECT_TRUE(window->Logic().CommandWindowFlag());
  Run(1000);
  EXPECT_FALSE(window->Logic().CommandWindowFlag());

  // DAC "SAVE" before a band is chosen cannot happen here any more; a closed link can.
  s.port.Close();
  load->click();
  EXPECT_EQ(s.messages.texts, std::vector<std::string>{LINK_CLOSED_MESSAGE});

  window->close();
  EXPECT_TRUE(testsupport::ProcessUntil([&] { return window.isNull(); }, 2000));
  EXPECT_EQ(s.port.Owner(), nullptr);
}

TEST_F(ServiceWindowsTest, RampEditorDacSaveNeedsABand) {
  auto window = std::make_unique<CGsmramp>(context);
  window->show();
  auto* dac = Named<QLineEdit>(window.get(), "DAC");
  dac->setText(QStringLiteral("250"));
  s.requests.clear();
  Named<QPushButton>(window.get(), "SAVE DAC")->click();
  Run(1000);
  EXPECT_EQ(s.messages.texts, std::vector<std::string>{RAMP_NO_BAND_MESSAGE});
  EXPECT_TRUE(s.requests.empty());
}

}  // namespace
