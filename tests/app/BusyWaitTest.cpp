// The station's busy waits in the desktop program: windows keep painting, while timers, the
// handset's answers and window closes wait for the end of the wait and then run in the order
// they came.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "link/CComm.h"
#include "link/PtyHelpers.h"
#include "platform/BlockingWait.h"
#include "platform/Delay.h"
#include "platform/QtEventLoop.h"
#include "platform/visa/FdIo.h"
#include "support/GuiHelpers.h"

using namespace std::chrono_literals;
using testing_serial::PtyFarEnd;
using testsupport::ProcessUntil;

namespace {

class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    QPainter(this).fillRect(rect(), Qt::black);
  }
};

struct Journal : TimerClient, PortOwner {
  std::vector<std::string> events;
  Port* port = nullptr;
  void OnTimer(int id) override { events.push_back("timer " + std::to_string(id)); }
  void OnCommData() override {
    events.push_back("answer " + std::to_string(port->ReceivedCount()));
  }
};

TEST(BusyWait, PaintsWhileAnswersTimersAndClosesWaitAndThenRunInArrivalOrder) {
  testsupport::Deadline deadline(20s);
  PtyFarEnd far;
  far.BindTo(1);
  QtEventLoop loop;
  testsupport::RecordingNotifier notifier;
  CComm port(loop, &notifier);
  Journal journal;
  journal.port = &port;
  port.SetOwner(&journal);
  ASSERT_TRUE(port.Open(1, 115200));

  PaintCounter window;
  window.resize(80, 40);
  window.show();
  QTimer repaint;  // what a progress display does while a step runs
  QObject::connect(&repaint, &QTimer::timeout, &window, [&] { window.update(); });
  repaint.start(10);
  ASSERT_TRUE(ProcessUntil([&] { return window.paints > 0; }));

  loop.Post([&] { journal.events.push_back("posted before"); });
  loop.SetTimer(&journal, 1, 40);  // falls due several times during the wait: runs once after
  std::thread handset([&] {
    std::this_thread::sleep_for(120ms);
    far.Write({0x02, 0x14, 0x20, 0x00, 0x00, 0x20, 0x02});
  });
  QTimer::singleShot(60, &window, [&] { window.close(); });  // the close box, mid-wait

  const int paintsBefore = window.paints;
  const uint32_t start = loop.TickCount();
  loop.BusyWait(300);
  const uint32_t waited = loop.TickCount() - start;
  handset.join();

  EXPECT_GT(waited, 300u);
  EXPECT_GE(window.paints - paintsBefore, 5) << "window froze during the wait";
  EXPECT_LT(loop.LongestBusyGapMs(), 100u);
  EXPECT_TRUE(journal.events.empty()) << journal.events.front();
  EXPECT_TRUE(window.isVisible());  // its close waits too

  ASSERT_TRUE(ProcessUntil([&] { return journal.events.size() >= 3 && !window.isVisible(); }));
  const std::vector<std::string> expected = {"posted before", "timer 1", "answer 7"};
  EXPECT_EQ(std::vector<std::string>(journal.events.begin(), journal.events.begin() + 3), expected);
  loop.KillTimer(&journal, 1);
  port.Close();
}

// Instrument I/O and driver delays block the user-interface thread as busy waits do: the window
// keeps painting through them while station timers and posted work wait for their end.
TEST(BusyWait, BlockingInstrumentWaitsPaintAndHoldTimersToo) {
  testsupport::Deadline deadline(20s);
  QtEventLoop loop;
  ASSERT_TRUE(BlockingWaitHooked());
  PaintCounter window;
  window.resize(80, 40);
  window.show();
  QTimer repaint;
  QObject::connect(&repaint, &QTimer::timeout, &window, [&] { window.update(); });
  repaint.start(10);
  ASSERT_TRUE(ProcessUntil([&] { return window.paints > 0; }));

  struct Case {
    const char* name;
    std::function<void()> wait;
  };
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const Case cases[] = {
      {"reply awaited",
       [&] {
         std::thread instrument([&] {
           std::this_thread::sleep_for(300ms);
           ASSERT_EQ(write(fds[1], "1\n", 2), 2);
         });
         EXPECT_EQ(visa::detail::WaitFor(fds[0], POLLIN, visa::detail::Deadline(5000)), 1);
         instrument.join();
         char reply[4];
         EXPECT_EQ(read(fds[0], reply, sizeof reply), 2);
       }},
      {"time-out",
       [&] { EXPECT_EQ(visa::detail::WaitFor(fds[0], POLLIN, visa::detail::Deadline(300)), 0); }},
      {"driver delay", [] { Delay(0.3); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Journal journal;
    loop.Post([&] { journal.events.push_back("posted"); });
    loop.SetTimer(&journal, 1, 40);
    const int paintsBefore = window.paints;
    const auto start = std::chrono::steady_clock::now();
    c.wait();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
    EXPECT_GE(window.paints - paintsBefore, 5) << "window froze during the wait";
    EXPECT_TRUE(journal.events.empty()) << journal.events.front();
    ASSERT_TRUE(ProcessUntil([&] { return journal.events.size() >= 2; }));
    EXPECT_EQ(journal.events[0], "posted");
    EXPECT_EQ(journal.events[1], "timer 1");
    loop.KillTimer(&journal, 1);
  }
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
