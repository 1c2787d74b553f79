#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "link/CComm.h"
#include "platform/PollLoop.h"
#include "production/Scanner.h"
#include "sim/PtyScanner.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"
#include "support/Deadline.h"

// The simulated scanner on a pseudo-terminal in real time, reached through the station's own
// serial port object in queue mode, as the identity window reaches the scanner on COM2.
namespace {

using namespace std::chrono_literals;

constexpr int PORT = 8;  // TESMIRA_COM8: no real port is touched

struct Messages : Notifier {
  std::vector<std::string> texts;
  void Message(const std::string& text) override { texts.push_back(text); }
};

// The bench's scanner on its own thread.
class ScannerBench {
 public:
  explicit ScannerBench(sim::ScannerModel& model) {
    std::promise<std::string> device;
    auto future = device.get_future();
    thread_ = std::thread([this, &model, &device] {
      SimLoop loop;
      PtyScanner scanner(loop, model);
      RealTimeDriver driver(loop);
      std::string error;
      if (!scanner.Open(&error)) {
        device.set_value("");
        return;
      }
      driver.Watch(scanner.MasterFd(), [&] { scanner.OnReadable(); });
      driver_ = &driver;  // set before the path is handed out
      device.set_value(scanner.SlavePath());
      driver.Run();
      driver_ = nullptr;
    });
    if (future.wait_for(5s) == std::future_status::ready) path_ = future.get();
  }
  ~ScannerBench() {
    if (driver_ != nullptr) driver_.load()->Stop();
    thread_.join();
  }
  const std::string& Path() const { return path_; }

 private:
  std::thread thread_;
  std::atomic<RealTimeDriver*> driver_{nullptr};
  std::string path_;
};

TEST(ScannerPty, CodesAndFaultsThroughCComm) {
  testsupport::Deadline deadline(30s);
  sim::ScannerModel model(4);
  model.codes = {"350000001234565"};
  ScannerBench bench(model);
  ASSERT_FALSE(bench.Path().empty());
  ::setenv(("TESMIRA_COM" + std::to_string(PORT)).c_str(), bench.Path().c_str(), 1);

  PollLoop loop;
  Messages messages;
  CComm comm(loop, &messages);
  ASSERT_TRUE(comm.Open(PORT, Scanner::BAUD)) << comm.LastError();
  Scanner scanner(loop, comm, messages);
  comm.SetQueueMode(true);
  EXPECT_TRUE(scanner.SendScannerCommand(SCANNER_BCLR, 5, SCANNER_WAIT_MS));
  EXPECT_EQ(scanner.LastKind(), ScannerLineKind::ACKNOWLEDGE);
  EXPECT_TRUE(scanner.SendScannerCommand(SCANNER_LON, 4, SCANNER_WAIT_MS));
  EXPECT_EQ(scanner.ScannerText(), "350000001234565");
  EXPECT_EQ(scanner.LineLength(), 16u);
  EXPECT_FALSE(scanner.SendScannerCommand(SCANNER_LOFF, 5, 0));
  comm.SetQueueMode(false);

  // The list is used up: the bench makes up the next code.
  comm.SetQueueMode(true);
  EXPECT_TRUE(scanner.SendScannerCommand(SCANNER_LON, 4, SCANNER_WAIT_MS));
  EXPECT_EQ(scanner.ScannerText().size(), 15u);
  EXPECT_NE(scanner.ScannerText(), "350000001234565");
  comm.SetQueueMode(false);
  EXPECT_EQ(messages.texts, std::vector<std::string>{});
  comm.Close();
  ::unsetenv(("TESMIRA_COM" + std::to_string(PORT)).c_str());
}

}  // namespace
