#include "link/CComm.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include <atomic>
#include <memory>
#include <optional>

#include "link/Exchange.h"
#include "link/PtyHelpers.h"
#include "platform/PollLoop.h"

using namespace testing_serial;

namespace {

constexpr int PORT = 7;  // COM7, bound to a fresh pty in every test

class CCommTest : public ::testing::Test {
 protected:
  void SetUp() override { far_.BindTo(PORT); }

  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    return loop_.RunUntil(done, static_cast<uint32_t>(limit.count()));
  }

  Deadline deadline_{10s};
  PtyFarEnd far_;
  PollLoop loop_;
  RecordingNotifier notifier_;
};

// ---- opening, closing, exclusivity ----

TEST_F(CCommTest, OpenTwiceKeepsTheLineAndCloseTwiceIsHarmless) {
  CComm port(loop_, &notifier_);
  ASSERT_TRUE(port.Open(PORT, 115200)) << port.LastError();
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.DevicePath(), far_.SlavePath());
  ASSERT_TRUE(WaitFor([&] { return port.ReaderThreadId() != 0; }, 2s));
  const pid_t reader = port.ReaderThreadId();

  EXPECT_TRUE(port.Open(PORT, 9600));  // already open: success without reopening
  EXPECT_EQ(port.ReaderThreadId(), reader);
  termios t{};
  ASSERT_EQ(tcgetattr(far_.Slave(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B115200);

  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.ReaderThreadId(), 0);
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(notifier_.messages.empty());
}

struct LineCase {
  uint32_t baud;
  speed_t speed;
};

TEST_F(CCommTest, OpensRawEightNOneAtEachStationRate) {
  for (const LineCase c : {LineCase{9600, B9600}, LineCase{19200, B19200}, LineCase{38400, B38400},
                           LineCase{57600, B57600}, LineCase{115200, B115200}}) {
    SCOPED_TRACE(c.baud);
    CComm port(loop_, &notifier_);
    ASSERT_TRUE(port.Open(PORT, c.baud)) << port.LastError();
    termios t{};
    ASSERT_EQ(tcgetattr(far_.Slave(), &t), 0);
    EXPECT_EQ(cfgetispeed(&t), c.speed);
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL));
    EXPECT_FALSE(t.c_oflag & OPOST);
  }
}

TEST_F(CCommTest, RefusedOpensLeaveThePortClosedAndUsable) {
  struct Case {
    const char* what;
    int port;
    uint32_t baud;
    const char* device;  // nullptr: the pty
  };
  const Case cases[] = {
      {"unsupported rate", PORT, 12345, nullptr},
      {"rate zero", PORT, 0, nullptr},
      {"absent device", PORT, 115200, "/nonexistent/ttyTESMIRA"},
      {"not a serial device", PORT, 115200, "/dev/null"},
      {"port number zero", 0, 115200, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.device) setenv("TESMIRA_COM7", c.device, 1);
    CComm port(loop_, &notifier_);
    EXPECT_FALSE(port.Open(c.port, c.baud));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.LastError().empty());
    EXPECT_EQ(port.ReaderThreadId(), 0);
    far_.BindTo(PORT);
    EXPECT_TRUE(port.Open(PORT, 115200)) << port.LastError();
    port.Close();  // before the new far end goes away, which would be a loss of its own
    EXPECT_EQ(loop_.PostedWaiting(), 0u);
  }
}

TEST_F(CCommTest, HeldPortIsRefusedUntilReleased) {
  // Held by another port object of this process, and by another program's descriptor.
  for (const bool otherProgram : {false, true}) {
    SCOPED_TRACE(otherProgram ? "other program" : "this process");
    std::optional<CComm> holder;
    int heldFd = -1;
    if (otherProgram) {
      heldFd = open(far_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
      ASSERT_GE(heldFd, 0);
      ASSERT_EQ(flock(heldFd, LOCK_EX | LOCK_NB), 0);
    } else {
      holder.emplace(loop_, &notifier_);
      ASSERT_TRUE(holder->Open(PORT, 115200));
    }

    CComm port(loop_, &notifier_);
    EXPECT_FALSE(port.Open(PORT, 115200));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ReaderThreadId(), 0);

    if (otherProgram) {
      close(heldFd);
    } else {
      holder.reset();
    }
    ASSERT_TRUE(port.Open(PORT, 115200)) << port.LastError();
    // Open again while held by us: the former holder is refused in turn.
    CComm late(loop_, &notifier_);
    EXPECT_FALSE(late.Open(PORT, 115200));
  }
}

// ---- message mode ----

TEST_F(CCommTest, LongBurstArrivesInOrderInMessagesOfAtMost4096Bytes) {
  CComm port(loop_, &notifier_);
  BurstRecorder owner(port);
  // A reader that did not wait for the owner would overwrite the buffer during this pause.
  bool paused = false;
  owner.beforeCopy = [&] {
    if (!paused) std::this_thread::sleep_for(20ms);
    paused = true;
  };
  port.SetOwner(&owner);
  ASSERT_TRUE(port.Open(PORT, 115200));

  const auto data = Pattern(5000, 1);
  std::thread writer([&] { far_.Write(data); });
  EXPECT_TRUE(Pump([&] { return owner.bytes.size() >= data.size(); }));
  writer.join();

  EXPECT_GE(owner.bursts.size(), 2u);
  for (const auto& b : owner.bursts) {
    EXPECT_GE(b.size(), 1u);
    EXPECT_LE(b.size(), 4096u);
  }
  EXPECT_EQ(owner.bytes, data);
  EXPECT_FALSE(owner.off_thread);
}

TEST_F(CCommTest, WithoutOwnerBurstsAreDroppedAndReadingGoesOn) {
  CComm port(loop_, &notifier_);
  ASSERT_TRUE(port.Open(PORT, 115200));
  ASSERT_TRUE(far_.Write(Pattern(100, 2)));
  ASSERT_TRUE(WaitFor([&] { return loop_.PostedWaiting() > 0; }, 2s));
  loop_.PumpMessages();  // the hand-over finds no owner

  BurstRecorder owner(port);
  port.SetOwner(&owner);
  const auto data = Pattern(50, 3);
  ASSERT_TRUE(far_.Write(data));
  EXPECT_TRUE(Pump([&] { return owner.bytes.size() >= data.size(); }));
  EXPECT_EQ(owner.bytes, data);
}

// The reader stays inside a hand-over the loop has not run yet; bytes that come meanwhile stay
// in the driver.
class HeldHandOverTest : public CCommTest {
 protected:
  void SetUp() override {
    CCommTest::SetUp();
    port_ = std::make_unique<CComm>(loop_, &notifier_);
    owner_ = std::make_unique<BurstRecorder>(*port_);
    port_->SetOwner(owner_.get());
    ASSERT_TRUE(port_->Open(PORT, 115200));
    ASSERT_TRUE(far_.Write(first_));
    ASSERT_TRUE(WaitFor([&] { return loop_.PostedWaiting() == 1; }, 2s));
    ASSERT_TRUE(far_.Write(held_));
    ASSERT_TRUE(WaitFor([&] { return far_.InputWaiting() == held_.size(); }, 2s));
  }
  void TearDown() override {
    owner_.reset();
    port_.reset();
  }

  const std::vector<uint8_t> first_ = Pattern(10, 4);
  const std::vector<uint8_t> held_ = Pattern(30, 5);
  std::unique_ptr<CComm> port_;
  std::unique_ptr<BurstRecorder> owner_;
};

TEST_F(HeldHandOverTest, PurgeDiscardsWhatTheDriverHolds) {
  uint8_t peek[4] = {};
  EXPECT_EQ(port_->ReadAvailable(peek, sizeof peek), sizeof peek);  // never more than asked
  EXPECT_EQ(std::vector<uint8_t>(peek, peek + 4),
            std::vector<uint8_t>(held_.begin(), held_.begin() + 4));
  port_->Purge();
  EXPECT_EQ(far_.InputWaiting(), 0u);
  uint8_t none[8];
  EXPECT_EQ(port_->ReadAvailable(none, sizeof none), 0u);  // nothing there: returns at once

  const auto after = Pattern(20, 6);
  ASSERT_TRUE(far_.Write(after));
  std::vector<uint8_t> expected = first_;
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_TRUE(Pump([&] { return owner_->bytes.size() >= expected.size(); }));
  EXPECT_EQ(owner_->bytes, expected);
}

TEST_F(HeldHandOverTest, CloseCancelsAPendingHandOverWithoutWaitingForTheLoop) {
  // Close runs on the loop thread while the reader waits for that very thread.
  port_->Close();
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_EQ(port_->ReaderThreadId(), 0);
  loop_.PumpMessages();  // the stale hand-over runs and must not reach the owner
  EXPECT_TRUE(owner_->bursts.empty());

  // The object opens again and delivers what comes next.
  ASSERT_TRUE(port_->Open(PORT, 115200));
  const auto next = Pattern(40, 7);
  ASSERT_TRUE(far_.Write(next));
  EXPECT_TRUE(Pump([&] { return owner_->bytes.size() >= next.size(); }));
  EXPECT_EQ(owner_->bytes, next);
}

TEST_F(HeldHandOverTest, OwnerClosingThePortFromItsHandlerEndsTheReader) {
  owner_->beforeCopy = [&] { port_->Close(); };  // the reader is waiting for this very handler
  loop_.PumpMessages();
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_EQ(port_->ReaderThreadId(), 0);
  EXPECT_EQ(owner_->bytes, first_);  // the burst being handed over is still intact
}

TEST_F(HeldHandOverTest, DestroyingThePortWithAHandOverQueuedIsSafe) {
  port_.reset();  // joins the reader; the queued hand-over outlives the port
  ASSERT_EQ(loop_.PostedWaiting(), 1u);
  loop_.PumpMessages();
  EXPECT_TRUE(owner_->bursts.empty());
}

// ---- queue mode ----

TEST_F(CCommTest, QueueModeDropsABurstThatDoesNotFitAndKeepsTheRest) {
  CComm port(loop_, &notifier_);
  port.SetQueueMode(true);
  ASSERT_TRUE(port.Open(PORT, 9600));

  const auto held = Pattern(4000, 8);
  ASSERT_TRUE(far_.Write(held));
  ASSERT_TRUE(WaitFor([&] { return port.Queue().Count() == 4000; }, 3s));
  ASSERT_TRUE(WaitFor([&] { return port.ArrivedFlag().load() != 0; }, 2s));
  port.ArrivedFlag() = 0;

  ASSERT_TRUE(far_.Write(Pattern(200, 9)));  // 95 bytes free: the whole burst goes
  EXPECT_TRUE(Pump([&] { return notifier_.CountOf("Queue is Full !") == 1; }));
  EXPECT_FALSE(notifier_.off_thread);
  EXPECT_EQ(port.Queue().Count(), 4000u);
  for (uint32_t i = 0; i < 4000; ++i) ASSERT_EQ(port.Queue().Peek(i), held[i]) << i;
  // Raised after the drain that dropped the burst, which may end just after the notice went.
  EXPECT_TRUE(WaitFor([&] { return port.ArrivedFlag().load() == 1; }, 2s));

  // Room again: the next burst is filed behind the held bytes.
  for (int i = 0; i < 1000; ++i) port.Queue().Get();
  const auto more = Pattern(300, 10);
  ASSERT_TRUE(far_.Write(more));
  ASSERT_TRUE(WaitFor([&] { return port.Queue().Count() == 3300; }, 2s));
  EXPECT_EQ(port.Queue().Peek(3000), more[0]);
  EXPECT_EQ(port.Queue().Peek(3299), more[299]);
}

// ---- sending ----

TEST_F(CCommTest, SendBytesWritesWholeFramesOnlyWhenOpenAndNotStartingWithZero) {
  const std::vector<uint8_t> frame = {0x02, 0x14, 0x54, 0x06, 0x42, 0x02};
  const std::vector<uint8_t> leadingZero = {0x00, 0x14, 0x54, 0x02};
  CComm port(loop_, &notifier_);

  port.SendBytes(frame.data(), frame.size());  // never opened
  EXPECT_EQ(port.SendAll(frame.data(), frame.size()), 0u);
  ASSERT_TRUE(port.Open(PORT, 115200));
  port.SendBytes(leadingZero.data(), leadingZero.size());
  port.SendBytes(frame.data(), 0);
  port.SendBytes(frame.data(), frame.size());
  // Whatever a refused call had written would come before the frame.
  EXPECT_EQ(far_.Read(frame.size(), 2s), frame);

  const std::vector<uint8_t> scanner = {'B', 'C', 'L', 'R', '\r'};
  EXPECT_EQ(port.SendAll(scanner.data(), scanner.size()), scanner.size());
  EXPECT_EQ(far_.Read(scanner.size(), 2s), scanner);

  port.Close();
  port.SendBytes(frame.data(), frame.size());
  EXPECT_EQ(port.SendAll(frame.data(), frame.size()), 0u);
  uint8_t buf[4];
  EXPECT_EQ(port.ReadAvailable(buf, sizeof buf), 0u);
  ASSERT_TRUE(port.Open(PORT, 115200));
  port.SendBytes(leadingZero.data() + 1, 3);  // 14 54 02 as a marker
  EXPECT_EQ(far_.Read(3, 2s), std::vector<uint8_t>({0x14, 0x54, 0x02}));
}

// ---- the far end goes away ----

TEST_F(CCommTest, LostDeviceEndsTheReaderClosesThePortAndIsReportedOnce) {
  for (const bool midBurst : {false, true}) {
    SCOPED_TRACE(midBurst ? "mid-burst" : "idle");
    PtyFarEnd far;
    far.BindTo(PORT);
    RecordingNotifier notifier;
    CComm port(loop_, &notifier);
    BurstRecorder owner(port);
    port.SetOwner(&owner);
    ASSERT_TRUE(port.Open(PORT, 115200));
    ASSERT_TRUE(WaitFor([&] { return port.ReaderThreadId() != 0; }, 2s));
    const pid_t reader = port.ReaderThreadId();
    // Idle, the reader sleeps in poll().
    ASSERT_TRUE(WaitFor([&] { return TaskState(reader) == 'S'; }, 2s));

    const auto data = Pattern(64 * 1024, 11);
    std::thread writer;
    if (midBurst) {
      writer = std::thread([&] {
        far.Write(data.data(), 16 * 1024);
        far.Hangup();
      });
    } else {
      far.Hangup();
    }
    const std::string lost = "serial port lost: " + far.SlavePath();
    EXPECT_TRUE(Pump([&] { return notifier.CountOf(lost) == 1; }));
    if (writer.joinable()) writer.join();

    // The reader has ended (not spinning on a hung-up descriptor) and the port reads closed.
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(WaitFor([&] { return TaskState(reader) == 0; }, 2s))
        << "reader state " << TaskState(reader);
    EXPECT_EQ(port.ReaderThreadId(), 0);
    loop_.PumpMessages();
    EXPECT_EQ(notifier.messages, std::vector<std::string>{lost});
    EXPECT_FALSE(notifier.off_thread);
    // What arrived before the loss is an undamaged prefix of what was sent.
    ASSERT_LE(owner.bytes.size(), data.size());
    EXPECT_TRUE(std::equal(owner.bytes.begin(), owner.bytes.end(), data.begin()));

    // Closed-link behaviour applies; Close and a later Open work.
    port.SendBytes(data.data(), 10);
    EXPECT_TRUE(port.Close());
    PtyFarEnd replugged;
    replugged.BindTo(PORT);
    EXPECT_TRUE(port.Open(PORT, 115200)) << port.LastError();
    port.Close();  // before the new far end goes away, which would be a loss of its own
    EXPECT_EQ(loop_.PostedWaiting(), 0u);
  }
}

// ---- a window that goes away while its handset keeps talking ----

struct CountingClient : ExchangeClient {
  int frames = 0;
  void DecodeAnswer(Exchange& ex) override {
    if (ex.CheckAnswer() != ANSWER_NONE) ++frames;
  }
  void OnAnswerTimeout(Exchange& ex) override { ex.StopTimers(); }
};

TEST_F(CCommTest, ClosedWindowLosesTheBurstsThatFollowAndKeepsNoClaimOnThePort) {
  CComm port(loop_, &notifier_);
  ASSERT_TRUE(port.Open(PORT, 115200));
  CountingClient client;
  auto window = std::make_unique<Exchange>(loop_, port, client, 3000);
  port.SetOwner(window.get());

  // The handset keeps sending answers; each write is its own burst.
  std::atomic<bool> talking{true};
  const std::vector<uint8_t> answer = {0x02, 0x14, 0x54, 0x00, 0x06, 0x42, 0x02};
  std::thread handset([&] {
    while (talking) {
      if (!far_.Write(answer)) break;
      std::this_thread::sleep_for(1ms);
    }
  });
  ASSERT_TRUE(Pump([&] { return window->RingCount() > 0; }));
  // Closed with hand-overs already posted and more on the wire: those find no owner.
  window.reset();
  EXPECT_EQ(port.Owner(), nullptr);
  const auto until = std::chrono::steady_clock::now() + 100ms;
  while (std::chrono::steady_clock::now() < until) loop_.PumpMessages();

  // A window opened later owns the port again and hears the handset.
  auto next = std::make_unique<Exchange>(loop_, port, client, 3000);
  port.SetOwner(next.get());
  EXPECT_TRUE(Pump([&] { return next->RingCount() > 0; }));
  talking = false;
  handset.join();

  // Closing a window that no longer owns the port leaves the owner alone.
  auto stale = std::make_unique<Exchange>(loop_, port, client, 3000);
  stale.reset();
  EXPECT_EQ(port.Owner(), next.get());
  next.reset();
  port.Close();
}

}  // namespace
