#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "calibration/AutoCalibration.h"
#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"
#include "link/Bcommand.h"
#include "platform/visa/SimDevice.h"
#include "sim/instruments/SimBenchRig.h"

// A calibration window on the simulated bench in virtual time, recording what it does.
namespace caltest {

struct Sent {
  uint64_t t;
  std::string line;
  bool resend;
};

class RecordingView : public AutoCalibrationView {
 public:
  void SetStatus(const std::string& text, StatusLook look) override {
    status = text;
    look_ = look;
    statuses.push_back(text);
  }
  void SetField(CalField field, const std::string& text) override {
    fields[static_cast<int>(field)] = text;
  }
  void ResetLists() override { ++listResets; }
  void SetListCell(CalList list, int row, int column, const std::string& text) override {
    cells[{static_cast<int>(list), row, column}] = text;
  }
  void SetProgress(int position) override { progress = position; }
  std::string ModelText() const override { return "ZR907XC907"; }
  std::string StageText() const override { return "MP"; }
  std::string PhoneName() const override { return name; }

  std::string status;
  StatusLook look_ = StatusLook::Cleared;
  std::vector<std::string> statuses;
  std::map<int, std::string> fields;
  std::map<std::tuple<int, int, int>, std::string> cells;
  int listResets = 0;
  int progress = -1;
  std::string name;
};

class RecordingNotifier : public Notifier {
 public:
  void Message(const std::string& text) override { messages.push_back(text); }
  void Result(const std::string& text) override { results.push_back(text); }
  std::vector<std::string> messages;
  std::vector<std::string> results;
};

// A supply whose current reading the test chooses; everything else goes to the simulated one.
class ForcedCurrentSupply : public visa::SimDevice {
 public:
  explicit ForcedCurrentSupply(std::shared_ptr<visa::SimDevice> inner) : inner_(std::move(inner)) {}
  uint32_t Write(const std::string& message) override;
  std::optional<std::string> Read() override;
  std::optional<double> amps;

 private:
  std::shared_ptr<visa::SimDevice> inner_;
  std::optional<std::string> forced_reply_;
};

struct Options {
  int32_t testSet = TESTSET_8960;
  int32_t supplyType = SUPPLY_NONE;
  std::string supplyModel;  // "" none
  uint64_t seed = 11;
  bool openPort = true;
};

class CalBench : public ::testing::Test, public AutoCalibrationObserver {
 protected:
  void SetUp() override { Start(Options{}); }
  void TearDown() override;

  // (Re)builds the bench and the window, opens the link and the instruments, lets the
  // handset boot.
  void Start(const Options& options);

  // Runs until a step reports its end or failure (or the limit passes); true when one did.
  bool RunUntilStepDone(uint64_t limitMs = 3'600'000);
  // Runs until the window has transmitted a line starting with prefix.
  bool RunUntilSent(const std::string& prefix, uint64_t limitMs = 600'000);
  std::vector<std::string> SentLines() const;
  std::vector<std::string> LinesFrom(size_t first) const;
  // Busy waits recorded since the start (their lengths).
  std::vector<uint32_t> WaitLengths() const;
  size_t CountPrefix(const std::string& prefix) const;

  // AutoCalibrationObserver
  void Transmitted(const std::string& line, const uint8_t*, size_t, bool resend) override;
  void HandsetReading(const char* what, double value) override;
  void StepFinished(int step, bool ok) override;

  std::unique_ptr<SimBenchRig> rig;
  RecordingView view;
  RecordingNotifier notifier;
  std::unique_ptr<AutoCalibration> window;
  std::vector<Sent> sent;
  std::vector<std::pair<uint64_t, uint32_t>> waits;
  std::vector<std::pair<int, bool>> steps;
  std::function<void(int step, bool ok)> onStepFinished;
  std::vector<std::pair<std::string, double>> readings;
  std::vector<std::pair<std::string, double>> measurements;
  std::string logPath;
};

}  // namespace caltest
