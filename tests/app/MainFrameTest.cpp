#include "app/MainFrm.h"

#include <gtest/gtest.h>
#include <sys/file.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QWindow>
#include <map>

#include "app/MenuTable.h"
#include "app/TesmiraDoc.h"
#include "instruments/InstrumentState.h"
#include "instruments/RFConfigDlg.h"
#include "link/Exchange.h"
#include "link/PtyHelpers.h"
#include "link/TargetConnection.h"
#include "link/TargetResetDlg.h"
#include "platform/QtEventLoop.h"
#include "support/GuiHelpers.h"
#include "widgets/ControlIds.h"

using namespace std::chrono_literals;
using testing_serial::PtyFarEnd;
using testsupport::ProcessUntil;
using testsupport::RecordingNotifier;
using testsupport::ScriptedModal;

namespace {

// A tool window with an exchange of its own, counting what it is asked.
class ProbeWindow : public ToolWindow, private ExchangeClient {
 public:
  static int created;
  explicit ProbeWindow(StationContext& c)
      : ToolWindow(c), exchange(c.loop, c.handset, *this, 3000), serial(++created) {
    setWindowTitle(QStringLiteral("probe"));
    TakePort();  // its initialisation
  }
  void TakePort() override { Context().handset.SetOwner(&exchange); }
  void DecodeAnswer(Exchange&) override {}
  void OnAnswerTimeout(Exchange& ex) override { ex.StopTimers(); }
  Exchange exchange;
  int serial;
};
int ProbeWindow::created = 0;

ToolWindow* CreateProbe(StationContext& c) {
  return new ProbeWindow(c);
}

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstrumentState();
    far_.BindTo(TARGET_PORT);
    ProbeWindow::created = 0;
  }
  std::unique_ptr<CMainFrame> MakeFrame(std::vector<ToolKind> tools = StationToolKinds()) {
    auto frame = std::make_unique<CMainFrame>(doc_, context_, tools);
    frame->show();
    return frame;
  }
  std::vector<uint8_t> LineBytes(size_t count, std::chrono::milliseconds limit = 500ms) {
    return far_.Read(count, limit);
  }

  testsupport::Deadline deadline_{20s};
  PtyFarEnd far_;
  QtEventLoop loop_;
  RecordingNotifier notifier_;
  ScriptedModal modal_;
  CTesmiraDoc doc_{loop_, &notifier_};
  StationContext context_{loop_, doc_.Comm(), notifier_, modal_};
};

// ---- menus, toolbar, status bar ----

TEST_F(MainFrameTest, MenusCarryTheStationTextsIdsAndDisabledItems) {
  auto frame = MakeFrame();
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Repair V1.5 1017"));

  struct Item {
    const char* menu;
    const char* text;
    int id;
    bool enabled;
  };
  // Tool windows whose folder has no window yet are disabled like commands without handler.
  std::map<int, bool> toolEnabled;
  for (const ToolKind& kind : StationToolKinds()) toolEnabled[kind.commandId] = kind.create;
  const Item expected[] = {
      {"Target(&T)", "Open", 32782, true},
      {"Target(&T)", "Close", 32786, true},
      {"Target(&T)", "Reset", 32788, true},
      {"Target(&T)", "&Save as File", 32797, false},
      {"Target(&T)", "Exit (&X)", 57665, true},
      {"Repair[&R]", "Logic Test", 32809, toolEnabled[32809]},
      {"Repair[&R]", "RF Test", 32808, toolEnabled[32808]},
      {"View[&V]", "EEPROM MAP", 32795, toolEnabled[32795]},
      {"Auto Cal [&A]", "RF Parameter Setting", 32802, true},
      {"Auto Cal [&A]", "AutoCalibration", 32805, toolEnabled[32805]},
      {"Manual Cal[&M]", "GSM / DCS Ramp table", 32796, toolEnabled[32796]},
      {"Manual Cal[&M]", "Input Window", 32801, toolEnabled[32801]},
      {"IMEI", "Read/Wtrite", 32792, toolEnabled[32792]},
      {"Help(&H)", "도움말 항목(&H)", 57667, true},
      {"Help(&H)", "Tesmira 정보(&A)...", 57664, true},
  };
  std::vector<std::pair<QString, QString>> seen;
  for (QAction* top : frame->menuBar()->actions()) {
    for (QAction* a : top->menu()->actions()) {
      if (!a->isSeparator()) seen.emplace_back(top->text(), a->text());
    }
  }
  ASSERT_EQ(seen.size(), std::size(expected));
  for (size_t i = 0; i < seen.size(); ++i) {
    const Item& e = expected[i];
    SCOPED_TRACE(e.text);
    EXPECT_EQ(seen[i].first, QString::fromUtf8(e.menu));
    EXPECT_EQ(seen[i].second, QString::fromUtf8(e.text));
    QAction* a = frame->Action(e.id);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), QString::fromUtf8(e.text));
    EXPECT_EQ(a->property("commandId").toInt(), e.id);
    EXPECT_EQ(a->isEnabled(), e.enabled);
  }

  // Toolbar: New, Open, Save | Cut, Copy, Paste | Print | About, context help, 32780.
  auto* bar = frame->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  std::vector<int> ids;
  for (QAction* a : bar->actions())
    ids.push_back(a->isSeparator() ? 0 : a->property("commandId").toInt());
  EXPECT_EQ(ids, (std::vector<int>{57600, 57601, 57603, 0, 57635, 57634, 57637, 0, 57607, 0, 57664,
                                   57669, 32780}));
  for (int id : {57635, 57634, 57637, 32780}) EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
  for (int id : {57600, 57601, 57603, 57607, 57669})
    EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;

  // Status bar: the message pane and the three lock indicators.
  auto* message = frame->statusBar()->findChild<QLabel*>(QStringLiteral("pane_message"));
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->text(), QStringLiteral("Ready"));
  for (const char* pane : {"pane_caps", "pane_num", "pane_scroll"}) {
    EXPECT_NE(frame->statusBar()->findChild<QLabel*>(QString::fromUtf8(pane)), nullptr) << pane;
  }
}

TEST_F(MainFrameTest, SaveWritesAnEmptyFileAndOpenChangesNothing) {
  auto frame = MakeFrame();
  const QString path = QString::fromStdString(testing::TempDir()) + "tesmira_doc.tsm";
  {
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "w");
    std::fputs("left over", f);
    std::fclose(f);
  }
  modal_.files.push_back(path);
  frame->OnCommand(ID_FILE_SAVE);
  EXPECT_EQ(QFileInfo(path).size(), 0);
  modal_.files.push_back(path);
  frame->OnCommand(ID_FILE_OPEN);
  frame->OnCommand(ID_FILE_NEW);
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Repair V1.5 1017"));
  EXPECT_FALSE(doc_.Comm().IsOpen());
  EXPECT_TRUE(notifier_.messages.empty());
}

// ---- Target menu ----

TEST_F(MainFrameTest, TargetOpenCloseAndExitRelease) {
  auto frame = MakeFrame();
  frame->OnCommand(ID_TARGET_CLOSE);  // never opened
  frame->OnCommand(ID_TARGET_OPEN);
  ASSERT_TRUE(doc_.Comm().IsOpen()) << doc_.Comm().LastError();
  const pid_t reader = doc_.Comm().ReaderThreadId();
  frame->OnCommand(ID_TARGET_OPEN);  // again: the same handle
  EXPECT_EQ(doc_.Comm().ReaderThreadId(), reader);
  EXPECT_EQ(notifier_.messages,
            (std::vector<std::string>{"Target Disconnected...", "serial port opened...",
                                      "serial port opened..."}));

  // Exit releases COM1 before the window goes: another program can take the line at once.
  bool freeWhenClosing = false;
  QObject::connect(frame.get(), &CMainFrame::Closed, [&] {
    const int fd = open(far_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    freeWhenClosing = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) close(fd);
  });
  frame->OnCommand(ID_APP_EXIT);
  EXPECT_TRUE(freeWhenClosing);
  EXPECT_FALSE(doc_.Comm().IsOpen());
  EXPECT_FALSE(frame->isVisible());
  EXPECT_EQ(notifier_.messages.size(), 3u);  // Exit says nothing
}

TEST_F(MainFrameTest, OpenFailureSaysSoAndMayBeTriedAgain) {
  setenv("TESMIRA_COM1", "/nonexistent/ttyTESMIRA", 1);
  auto frame = MakeFrame();
  frame->OnCommand(ID_TARGET_OPEN);
  EXPECT_FALSE(doc_.Comm().IsOpen());
  far_.BindTo(TARGET_PORT);
  frame->OnCommand(ID_TARGET_OPEN);
  EXPECT_TRUE(doc_.Comm().IsOpen());
  EXPECT_EQ(notifier_.messages,
            (std::vector<std::string>{"serial port error !!!", "serial port opened..."}));
}

// Clicks one of the reset dialog's buttons; records that the dialog was shown.
std::function<int(QDialog&)> ClickReset(int id, QString* caption) {
  return [id, caption](QDialog& d) {
    *caption = d.windowTitle();
    auto* button = FindControl<QPushButton>(&d, id);
    if (button == nullptr) return -1;
    button->click();
    return d.result();
  };
}

TEST_F(MainFrameTest, ResetYesSendsSe5OnceTheDialogIsGoneAndNoSendsNothing) {
  auto frame = MakeFrame();
  frame->OnCommand(ID_TARGET_OPEN);
  ASSERT_TRUE(doc_.Comm().IsOpen());
  notifier_.messages.clear();

  QString caption;
  modal_.answers.push_back(ClickReset(CTargetResetDlg::ID_NO, &caption));
  frame->OnCommand(ID_TARGET_RESET);
  EXPECT_EQ(caption, QStringLiteral("E2P Reset"));
  EXPECT_TRUE(LineBytes(1, 200ms).empty());

  modal_.answers.push_back(ClickReset(CTargetResetDlg::ID_YES, &caption));
  frame->OnCommand(ID_TARGET_RESET);
  EXPECT_TRUE(frame->findChildren<CTargetResetDlg*>().isEmpty());  // gone at once
  EXPECT_EQ(LineBytes(7), (std::vector<uint8_t>{0x02, 0x14, 0x54, 0x05, 0x00, 0x51, 0x02}));

  // The handset's answer is reported, then nothing more happens.
  ASSERT_TRUE(far_.Write({0x02, 0x14, 0x54, 0x00, 0x05, 0x51, 0x02}));
  EXPECT_TRUE(ProcessUntil([&] { return !notifier_.messages.empty(); }));
  EXPECT_EQ(notifier_.messages, std::vector<std::string>{"EEPROM 리셋되었습니다."});
  EXPECT_EQ(modal_.unexpected, 0);
}

TEST_F(MainFrameTest, ResetWithTheLinkClosedSendsNothing) {
  auto frame = MakeFrame();
  QString caption;
  modal_.answers.push_back(ClickReset(CTargetResetDlg::ID_YES, &caption));
  frame->OnCommand(ID_TARGET_RESET);
  EXPECT_EQ(notifier_.messages,
            std::vector<std::string>{"Serial Comm이 연결되어 있지 않습니다. Connect해 주세요"});
  EXPECT_EQ(far_.InputWaiting(), 0u);
}

// ---- tool windows ----

TEST_F(MainFrameTest, OneWindowPerKindBroughtForwardAndMadePortOwner) {
  const int probeId = ID_INPUT_WINDOW;
  auto frame = MakeFrame({{probeId, &CreateProbe, false}, {ID_IMEI_RW, &CreateProbe, false}});
  frame->OnCommand(probeId);
  auto* first = static_cast<ProbeWindow*>(frame->Tool(probeId));
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(first->parentWidget(), nullptr);  // top level without owner
  EXPECT_EQ(doc_.Comm().Owner(), &first->exchange);

  frame->OnCommand(ID_IMEI_RW);
  auto* other = static_cast<ProbeWindow*>(frame->Tool(ID_IMEI_RW));
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(doc_.Comm().Owner(), &other->exchange);

  // A second choice: the same window, forward, owning the port again.
  frame->OnCommand(probeId);
  EXPECT_EQ(frame->Tool(probeId), first);
  EXPECT_EQ(ProbeWindow::created, 2);
  EXPECT_EQ(doc_.Comm().Owner(), &first->exchange);

  // The pointer moving over the other window hands it the port.
  ASSERT_TRUE(QTest::qWaitForWindowExposed(other));
  QTest::mouseMove(other->windowHandle(), QPoint(10, 10));
  QTest::mouseMove(other->windowHandle(), QPoint(20, 12));
  EXPECT_TRUE(ProcessUntil([&] { return doc_.Comm().Owner() == &other->exchange; }, 1000));

  // Closed: deleted, the frame's pointer cleared, the port left; the next choice is a new one.
  other->close();
  EXPECT_TRUE(ProcessUntil([&] { return frame->Tool(ID_IMEI_RW) == nullptr; }, 1000));
  EXPECT_EQ(doc_.Comm().Owner(), nullptr);
  frame->OnCommand(ID_IMEI_RW);
  auto* fresh = static_cast<ProbeWindow*>(frame->Tool(ID_IMEI_RW));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->serial, 3);

  // Minimising the main window leaves the tool windows on screen.
  frame->showMinimized();
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(fresh->isVisible());
  frame->close();  // tool windows end with the program
  EXPECT_EQ(frame->Tool(probeId), nullptr);
}

TEST_F(MainFrameTest, ToolWindowClosedWhileTheHandsetTalksLosesTheBurst) {
  auto frame = MakeFrame({{ID_INPUT_WINDOW, &CreateProbe, false}});
  frame->OnCommand(ID_TARGET_OPEN);
  frame->OnCommand(ID_INPUT_WINDOW);
  auto* window = static_cast<ProbeWindow*>(frame->Tool(ID_INPUT_WINDOW));
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(far_.Write({0x02, 0x14, 0x20, 0x00, 0x00, 0x20, 0x02}));
  EXPECT_TRUE(ProcessUntil([&] { return window->exchange.RingCount() > 0; }));
  // The handset goes on while the window closes; hand-overs already queued find no owner.
  std::thread handset([&] {
    for (int i = 0; i < 50; ++i) far_.Write({0x02, 0x14, 0x20, 0x00, 0x00, 0x20, 0x02});
  });
  window->close();
  handset.join();
  EXPECT_TRUE(ProcessUntil([&] { return frame->Tool(ID_INPUT_WINDOW) == nullptr; }));
  QTest::qWait(100);
  EXPECT_EQ(doc_.Comm().Owner(), nullptr);
  EXPECT_TRUE(doc_.Comm().IsOpen());
}

// ---- RF configuration ----

std::function<int(QDialog&)> EditRfConfig(std::map<int, QString> texts, bool ok) {
  return [texts, ok](QDialog& d) {
    auto& dlg = static_cast<CRFConfigDlg&>(d);
    for (const auto& [id, text] : texts) dlg.Box(id)->setCurrentText(text);
    if (ok) {
      dlg.accept();
    } else {
      dlg.reject();
    }
    return dlg.result();
  };
}

TEST_F(MainFrameTest, RfConfigurationHandsOverOnOkOnlyAndOpensOnDefaults) {
  auto frame = MakeFrame();
  // Until confirmed once, nothing is configured.
  EXPECT_EQ(Instruments().TestSetType, 0);
  EXPECT_EQ(RfConfiguration().GsmBchChannel, 0);

  modal_.answers.push_back(EditRfConfig({{1053, "66311B"}, {1042, "120"}}, false));
  frame->OnCommand(ID_RF_PARAMETER);
  EXPECT_EQ(Instruments().SupplyType, 0);
  EXPECT_EQ(RfConfiguration().GsmBchChannel, 0);

  modal_.answers.push_back(EditRfConfig({}, true));
  frame->OnCommand(ID_RF_PARAMETER);
  const RfConfig& c = RfConfiguration();
  EXPECT_EQ(c.GsmBchChannel, 80);
  EXPECT_EQ(c.GsmTchChannel, (std::array<int32_t, 4>{0, 1, 62, 124}));
  EXPECT_EQ(c.GsmPathLoss, (std::array<double, 4>{0, -1.2, -1.2, -1.2}));
  EXPECT_EQ(c.DcsBchChannel, 512);
  EXPECT_EQ(c.DcsTchChannel, (std::array<int32_t, 4>{0, 512, 698, 885}));
  EXPECT_EQ(c.DcsPathLoss, (std::array<double, 4>{0, -1.7, -1.7, -1.7}));
  EXPECT_EQ(Instruments().TestSetType, 1);
  EXPECT_EQ(Instruments().SupplyType, 5);

  // Typed names, "NOT", a loss per box; the boxes show the defaults again, not these.
  modal_.answers.push_back(EditRfConfig(
      {{1053, "3633A"}, {1043, "NOT"}, {1054, "-0.6"}, {1045, "-2.0"}, {1052, "W4400M"}}, true));
  frame->OnCommand(ID_RF_PARAMETER);
  EXPECT_EQ(Instruments().SupplyType, 6);
  EXPECT_EQ(Instruments().TestSetType, 2);
  EXPECT_EQ(c.GsmTchChannel[1], 0);
  EXPECT_EQ(c.GsmPathLoss, (std::array<double, 4>{0, -0.6, -1.2, -1.2}));
  EXPECT_EQ(c.DcsPathLoss, (std::array<double, 4>{0, -1.7, -2.0, -1.7}));

  QString shown;
  modal_.answers.push_back([&](QDialog& d) {
    auto& dlg = static_cast<CRFConfigDlg&>(d);
    shown = dlg.windowTitle() + "|" + dlg.Box(1053)->currentText() + "|" +
            dlg.Box(1043)->currentText() + "|" + dlg.Box(1365)->currentText();
    dlg.reject();
    return dlg.result();
  });
  frame->OnCommand(ID_RF_PARAMETER);
  EXPECT_EQ(shown, QStringLiteral("RF Parameter Configuration|3631A|1|1000"));
  EXPECT_EQ(Instruments().SupplyType, 6);  // Cancel changed nothing
}

}  // namespace
