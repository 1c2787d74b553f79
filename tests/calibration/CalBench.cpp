#include "CalBench.h"

#include <unistd.h>

#include <filesystem>

namespace caltest {

uint32_t ForcedCurrentSupply::Write(const std::string& message) {
  if (amps && message.find("MEAS") != std::string::npos &&
      message.find("CURR") != std::string::npos && message.back() == '?') {
    char text[32];
    std::snprintf(text, sizeof text, "%+.6E", *amps);
    forced_reply_ = text;
    return 0;
  }
  return inner_->Write(message);
}

std::optional<std::string> ForcedCurrentSupply::Read() {
  if (forced_reply_) {
    auto reply = forced_reply_;
    forced_reply_.reset();
    return reply;
  }
  return inner_->Read();
}

void CalBench::Start(const Options& o) {
  window.reset();
  rig.reset();
  ResetCalState();
  ResetInstrumentState();
  ResetEncoderState();
  sent.clear();
  waits.clear();
  steps.clear();
  onStepFinished = nullptr;
  readings.clear();
  measurements.clear();
  view = RecordingView{};
  notifier = RecordingNotifier{};

  SimBenchConfig config;
  config.seed = o.seed;
  config.supplyModel = o.supplyModel;
  rig = std::make_unique<SimBenchRig>(config);
  auto values = DefaultRfConfigValues();
  values[14] = o.testSet;
  values[15] = o.supplyType;
  ApplyRfConfig(values);

  logPath =
      (std::filesystem::temp_directory_path() / ("calbench-" + std::to_string(::getpid()) + ".txt"))
          .string();
  std::filesystem::remove(logPath);
  window = std::make_unique<AutoCalibration>(rig->loop(), rig->port(), view, notifier);
  window->SetObserver(this);
  window->SetResultLogPath(logPath);
  Cal().onMeasure = [this](const char* what, double value) {
    measurements.emplace_back(what, value);
  };
  rig->loop().onBusyWait = [this](uint32_t ms) { waits.emplace_back(rig->loop().Now(), ms); };
  if (o.openPort) rig->port().Open(SimBenchRig::HANDSET_PORT, SimBenchRig::HANDSET_BAUD);
  window->OnInit();
  window->OnInstrumentCheck();
  rig->loop().RunFor(2000);  // the handset boots when the supply has just come on
  waits.clear();
  measurements.clear();
}

void CalBench::TearDown() {
  window.reset();
  Cal().onMeasure = nullptr;
  rig.reset();
  std::filesystem::remove(logPath);
}

bool CalBench::RunUntilStepDone(uint64_t limitMs) {
  const size_t before = steps.size();
  return rig->loop().RunUntil([&] { return steps.size() > before; }, limitMs);
}

bool CalBench::RunUntilSent(const std::string& prefix, uint64_t limitMs) {
  const size_t before = sent.size();
  return rig->loop().RunUntil(
      [&] {
        for (size_t i = before; i < sent.size(); ++i) {
          if (sent[i].line.rfind(prefix, 0) == 0) return true;
        }
        return false;
      },
      limitMs);
}

std::vector<std::string> CalBench::SentLines() const {
  return LinesFrom(0);
}

std::vector<std::string> CalBench::LinesFrom(size_t first) const {
  std::vector<std::string> lines;
  for (size_t i = first; i < sent.size(); ++i) lines.push_back(sent[i].line);
  return lines;
}

std::vector<uint32_t> CalBench::WaitLengths() const {
  std::vector<uint32_t> lengths;
  for (const auto& w : waits) lengths.push_back(w.second);
  return lengths;
}

size_t CalBench::CountPrefix(const std::string& prefix) const {
  size_t n = 0;
  for (const auto& s : sent) n += s.line.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

void CalBench::Transmitted(const std::string& line, const uint8_t*, size_t, bool resend) {
  sent.push_back({rig->loop().Now(), line, resend});
}

void CalBench::HandsetReading(const char* what, double value) {
  readings.emplace_back(what, value);
}

void CalBench::StepFinished(int step, bool ok) {
  steps.emplace_back(step, ok);
  if (onStepFinished) onStepFinished(step, ok);
}

}  // namespace caltest
