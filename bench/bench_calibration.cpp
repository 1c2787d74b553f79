#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "calibration/AutoCalibration.h"
#include "calibration/CalState.h"
#include "instruments/InstrumentState.h"
#include "link/Bcommand.h"
#include "sim/instruments/SimBenchRig.h"

// Wall time of calibrating one simulated handset in virtual time: the whole window logic,
// encoder, exchange, simulated handset, instrument drivers over the VISA facade and the
// simulated instruments, without the result log's disk writes.
namespace {

class NullView : public AutoCalibrationView {
 public:
  void SetStatus(const std::string&, StatusLook) override {}
  void SetField(CalField, const std::string&) override {}
  void ResetLists() override {}
  void SetListCell(CalList, int, int, const std::string&) override {}
  void SetProgress(int) override {}
  std::string ModelText() const override { return "ZR907XC907"; }
  std::string StageText() const override { return "MP"; }
  std::string PhoneName() const override { return ""; }
};

class NullNotifier : public Notifier {
 public:
  void Message(const std::string&) override {}
};

class Outcome : public AutoCalibrationObserver {
 public:
  explicit Outcome(int lastStep) : last_step_(lastStep) {}
  void StepFinished(int step, bool ok) override {
    if (!ok || step == last_step_) {
      done = true;
      success = ok;
    }
  }
  bool done = false;
  bool success = false;

 private:
  int last_step_;
};

// One handset on a fresh bench (seed varies per iteration); returns the station time in ms.
uint64_t CalibrateOne(uint64_t seed, bool full, bool* success) {
  ResetCalState();
  ResetInstrumentState();
  ResetEncoderState();
  SimBenchConfig config;
  config.seed = seed;
  config.supplyModel = "3632A";  // its open switches the jig on at 3.8 V
  SimBenchRig rig(config);
  auto values = DefaultRfConfigValues();
  values[15] = SUPPLY_E3632A;
  ApplyRfConfig(values);
  NullView view;
  NullNotifier notifier;
  Outcome outcome(full ? STEP_DCS_TX : STEP_GSM_TX);
  uint64_t elapsed = 0;
  {
    AutoCalibration window(rig.loop(), rig.port(), view, notifier);
    window.SetObserver(&outcome);
    window.SetResultLogPath("");
    rig.port().Open(SimBenchRig::HANDSET_PORT, SimBenchRig::HANDSET_BAUD);
    window.OnInit();
    window.OnInstrumentCheck();
    rig.loop().RunFor(2000);
    const uint64_t start = rig.loop().Now();
    if (full) {
      window.OnAutoCalStart();
    } else {
      window.RunGsmTx();
    }
    rig.loop().RunUntil([&] { return outcome.done; }, 3'600'000);
    elapsed = rig.loop().Now() - start;
    window.OnExit();
  }
  *success = outcome.success;
  return elapsed;
}

void BM_FullCalibration(benchmark::State& state) {
  uint64_t seed = 1;
  double station = 0;
  double successes = 0;
  for (auto _ : state) {
    bool success = false;
    station += static_cast<double>(CalibrateOne(seed++, true, &success));
    successes += success ? 1 : 0;
  }
  state.counters["station_s"] =
      benchmark::Counter(station / 1000.0, benchmark::Counter::kAvgIterations);
  state.counters["success"] = benchmark::Counter(successes, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FullCalibration)->Unit(benchmark::kMillisecond);

void BM_GsmTxStep(benchmark::State& state) {
  uint64_t seed = 1;
  double station = 0;
  for (auto _ : state) {
    bool success = false;
    station += static_cast<double>(CalibrateOne(seed++, false, &success));
  }
  state.counters["station_s"] =
      benchmark::Counter(station / 1000.0, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GsmTxStep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
