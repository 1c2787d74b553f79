#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calibration/AutoCalibration.h"
#include "calibration/CalState.h"
#include "cli/CalibrateOptions.h"
#include "cli/CalibratePlot.h"
#include "cli/CalibrationRun.h"
#include "cli/CliCommand.h"
#include "cli/TracingLoop.h"
#include "instruments/InstrumentState.h"
#include "instruments/Supply.h"
#include "link/CComm.h"
#include "platform/PollLoop.h"
#include "platform/visa/SimDevice.h"
#include "sim/instruments/SimBenchRig.h"
#include "tester4400/wt4400.h"

// tesmira-cli calibrate: the auto-calibration window headless, on the simulated bench in
// virtual time (--sim) or on the real handset port and instruments.
int RunCalibratePopulation(const CalibrateOptions& options);

namespace {

constexpr const char* NAME = "calibrate";
constexpr uint64_t BOOT_WAIT_MS = 2000;

// Closes a FILE* that is not stdout.
struct FileCloser {
  void operator()(FILE* f) const {
    if (f && f != stdout) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool OpenOutput(const std::string& path, FilePtr& out) {
  if (path.empty()) return true;
  out.reset(path == "-" ? stdout : std::fopen(path.c_str(), "w"));
  if (!out) {
    std::fprintf(stderr, "tesmira-cli calibrate: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

// The operator of the simulated bench switches the jig's supply on at the battery voltage when
// the instrument check has left it off (the supplies' reset turns their output off).
void PowerTheJig(SimBenchRig& rig) {
  auto supply = visa::FindSimDevice("GPIB::5::INSTR");
  if (!supply || rig.bench().SupplyOutputOn()) return;
  for (const char* command : {"VOLT 3.8", "CURR 3.0", "OUTP ON"}) {
    supply->Write(command);
  }
}

namespace {

// On a real bench a handset without power would have every request resent until --max-minutes;
// the supply current tells at once.
void WarnWithoutCurrent() {
  if (Instruments().SupplyHandle == 0) return;
  const double amps = ReadSupplyCurrent();
  if (amps >= PHONE_OUT_CURRENT_A) return;
  std::fprintf(stderr,
               "tesmira-cli calibrate: the handset draws %.3f A: is it in the jig and powered? "
               "(the supply's reset at the instrument check leaves the output off; --power-on "
               "switches it on at 3.8 V)\n",
               amps);
}

void PrintOutcome(CalibrationRun& run, const HandsetRecord& r) {
  std::printf("\n");
  run.view().PrintLists(stdout);
  std::printf("%s\n", r.message.c_str());
  std::printf("Station time %s\n", FormatStationTime(r.endMs - r.startMs).c_str());
  std::fflush(stdout);  // before the instruments are closed, which can take a while
}

int Calibrate(const CalibrateOptions& o, CalibrationRun& run, FILE* json,
              const std::function<void()>& afterConnect) {
  if (o.mode == 1) run.PrepareProduction(o.handsets);
  if (!run.Connect()) return 2;
  if (afterConnect && o.mode != 1) afterConnect();
  std::vector<HandsetRecord> records;
  if (o.mode == 1) {
    records = run.RunProduction(o.handsets);
    for (const auto& r : records) {
      std::printf("handset %d: %s (station time %s)\n", r.handset, r.message.c_str(),
                  FormatStationTime(r.endMs - r.startMs).c_str());
    }
    if (!records.empty()) PrintOutcome(run, records.back());
  } else {
    records.push_back(run.RunOne(o.step, 1));
    PrintOutcome(run, records.back());
  }
  run.Exit();
  if (!o.plotPath.empty() && !records.empty()) {
    const HandsetRecord& last = records.back();
    const std::string caption =
        o.model + "  " + o.stage + "  handset " + std::to_string(last.handset) + ": " +
        last.message + "  (station time " + FormatStationTime(last.endMs - last.startMs) + ")";
    std::string error;
    if (!WriteCalibratePlot(o.plotPath, run.view().curves, caption, &error)) {
      std::fprintf(stderr, "tesmira-cli calibrate: %s\n", error.c_str());
      return 2;
    }
  }
  if (json) {
    for (const auto& r : records) std::fprintf(json, "%s\n", r.json.c_str());
  }
  if (static_cast<int>(records.size()) < (o.mode == 1 ? o.handsets : 1)) return 1;
  for (const auto& r : records) {
    if (!r.success) return 1;
  }
  return 0;
}

CalibrateOptions options;

void Define(CLI::App& app) {
  DefineCalibrateOptions(app, options);
}

int Run() {
  CalibrateOptions& o = options;
  std::string error;
  if (!CheckCalibrateOptions(o, error)) return CliUsageError(NAME, error);
  if (o.population > 0) {
    wt4400_setConsole(nullptr);  // thousands of runs: the report is what counts
    return RunCalibratePopulation(o);
  }

  FilePtr trace;
  FilePtr json;
  if (!OpenOutput(o.tracePath, trace) || !OpenOutput(o.jsonPath, json)) return 2;

  ResetCalState();
  ResetInstrumentState();
  ApplyRfConfig(o.rf);

  int status = 0;
  if (o.sim) {
    SimBenchConfig config;
    config.seed = o.seed;
    config.supplyModel = o.supplyModel;
    SimBenchRig rig(config);
    rig.bench().SetTxMeasurementScatter(o.txScatterDb);
    SimLoop& loop = rig.loop();
    auto runUntil = [&loop](const std::function<bool()>& done, uint64_t limit) {
      return loop.RunUntil(done, limit);
    };
    auto now = [&loop] { return loop.Now(); };
    auto schedule = [&loop](uint64_t delay, std::function<void()> fn) {
      loop.After(delay, std::move(fn));
    };
    CalibrationRun run(o, loop, rig.port(), runUntil, now, &rig.bench(), schedule, trace.get());
    if (trace) {
      loop.onBusyWait = [&run](uint32_t ms) { run.trace().Wait(ms); };
      loop.onTimer = [&run](TimerClient*, int id) { run.trace().Timer(id); };
    }
    run.afterInstrumentCheck = [&rig] { PowerTheJig(rig); };
    // The handset in the jig boots once the supply is on; the operator starts after that.
    status = Calibrate(o, run, json.get(), [&loop] { loop.RunFor(BOOT_WAIT_MS); });
    loop.onBusyWait = nullptr;
    loop.onTimer = nullptr;
  } else {
    PollLoop poll;
    TracingLoop loop(poll);
    const uint32_t start = poll.TickCount();
    auto now = [&poll, start] { return static_cast<uint64_t>(poll.TickCount() - start); };
    auto runUntil = [&poll](const std::function<bool()>& done, uint64_t limit) {
      return poll.RunUntil(done, static_cast<uint32_t>(limit > 0xFFFFFFF0u ? 0xFFFFFFF0u : limit));
    };
    CliNotifier portNotifier([](const std::string& line) {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    });
    CComm port(loop, &portNotifier);
    poll.busyWaitAbort = [&port] { return port.Lost(); };
    CalibrationRun run(o, loop, port, runUntil, now, nullptr, nullptr, trace.get());
    if (trace) {
      loop.onBusyWait = [&run](uint32_t ms) { run.trace().Wait(ms); };
      loop.onTimer = [&run](int id) { run.trace().Timer(id); };
    }
    if (o.powerOn) run.afterInstrumentCheck = [] { SetSupplyNominal(); };
    status = Calibrate(o, run, json.get(), [&o, &runUntil] {
      if (o.powerOn) runUntil([] { return false; }, BOOT_WAIT_MS);
      WarnWithoutCurrent();
    });
    poll.busyWaitAbort = nullptr;
  }
  std::fflush(stdout);
  return status;
}

const bool registered = RegisterCliCommand(
    {NAME, "auto-calibration of a handset (GMAGIC, RX, GSM TX, DCS TX; battery), simulated or real",
     &Define, &Run});

}  // namespace
