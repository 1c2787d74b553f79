#include "cli/CalibrationRun.h"

#include <ctime>

#include "calibration/CalState.h"
#include "calibration/ResultLog.h"
#include "instruments/InstrumentState.h"
#include "link/Exchange.h"
#include "sim/Bench.h"

namespace {

constexpr int HANDSET_PORT = 1;  // COM1
constexpr uint32_t HANDSET_BAUD = 115200;
constexpr uint64_t OPERATOR_DELAY_MS = 2000;
constexpr uint32_t TEST_MODE_ANSWER_MS = 4000;
constexpr const char* STATUS_CHECKING = "Checking the PHONE. Wait a moment !";
constexpr const char* STATUS_REMOVE = "Remove the PHONE. !";
constexpr const char* STATUS_READY = "Ready to Test. !";

const char* EndText(const std::string& step) {
  if (step == "gmagic") return "GMAGIC CAL END";
  if (step == "rx") return "RX CAL END";
  if (step == "gsm") return "PGSM TX CAL END";
  if (step == "battery") return "!!!  SUCCESS  !!!";
  return "Calibration Success.... ";
}

}  // namespace

CalibrationRun::CalibrationRun(const CalibrateOptions& options, EventLoop& loop, Port& port,
                               RunUntil runUntil, std::function<uint64_t()> now, sim::Bench* bench,
                               Schedule schedule, FILE* trace)
    : options_(options),
      loop_(loop),
      port_(port),
      run_until_(std::move(runUntil)),
      now_(std::move(now)),
      bench_(bench),
      schedule_(std::move(schedule)),
      trace_(trace, now_),
      view_(options, now_),
      notifier_([this](const std::string& text) {
        if (!quietMessages) view_.Line(text);
      }) {
  Instruments().loop = &loop_;
  Instruments().notifier = &notifier_;
  window_ = std::make_unique<AutoCalibration>(loop_, port_, view_, notifier_);
  window_->SetObserver(this);
  window_->SetResultLogPath(options.logPath);
  if (bench_) {
    // The PC clock of a simulated run moves with the station time.
    const std::time_t base = std::time(nullptr);
    window_->SetWallClock([this, base] { return base + static_cast<std::time_t>(now_() / 1000); });
  }
  Cal().onMeasure = [this](const char* what, double value) {
    trace_.Measure(what, value);
    if (!recording_) return;
    const std::string w = what;
    if (w == "tx_power") ++current_.txMeasurements;
    if (w == "rx_level") current_.rxLevels.push_back(value);
  };
  Cal().onProgress = [this](const std::string& text) { view_.Line(text); };
  view_.onStatus = [this](const std::string& text) {
    trace_.Status(text);
    OnStatus(text);
  };
  notifier_.onMessage = [this](const std::string& text) { trace_.Message(text); };
  // The check's field is set once for the test set, before the supply is opened, and once for
  // the supply: powering a supply that is not open yet only raises the fault flag, which fails
  // the first step that does not clear it (GSM TX, DCS TX, RX run alone).
  view_.onField = [this](CalField field, const std::string&) {
    if (field == CalField::InstrumentCheck && afterInstrumentCheck &&
        (Instruments().SupplyType == SUPPLY_NONE || Instruments().SupplyHandle != 0)) {
      afterInstrumentCheck();
    }
  };
}

CalibrationRun::~CalibrationRun() {
  window_.reset();
  Cal().onMeasure = nullptr;
  Cal().onProgress = nullptr;
  if (Instruments().loop == &loop_) Instruments().loop = nullptr;
  if (Instruments().notifier == &notifier_) Instruments().notifier = nullptr;
}

bool CalibrationRun::Connect() {
  if (!port_.Open(HANDSET_PORT, HANDSET_BAUD)) {
    std::fprintf(stderr, "tesmira-cli calibrate: the handset port COM1 cannot be opened\n");
    return false;
  }
  window_->OnInit();
  window_->OnModeChange(options_.mode);
  window_->OnInstrumentCheck();
  const InstrumentState& inst = Instruments();
  if (inst.TestSetType != TESTSET_NONE && inst.TestSetHandle == 0) {
    std::fprintf(stderr, "tesmira-cli calibrate: the test set does not answer\n");
    return false;
  }
  if (inst.SupplyType != SUPPLY_NONE && inst.SupplyHandle == 0) {
    std::fprintf(stderr, "tesmira-cli calibrate: the power supply does not answer\n");
    return false;
  }
  view_.Line("Instrument Check: " + view_.Field(CalField::InstrumentCheck));
  return true;
}

void CalibrationRun::LinkLost(int /*activeStep*/) {
  // The port's own message names the device; the record says how the run ended.
  link_lost_ = true;
  Finish(false, "stopped: the handset link was lost");
}

void CalibrationRun::Exit() {
  window_->OnExit();
}

void CalibrationRun::StartRecord(int handsetNumber) {
  current_ = HandsetRecord{};
  current_.handset = handsetNumber;
  current_.unit = bench_ ? bench_->UnitIndex() : -1;
  current_.startMs = now_();
  recording_ = true;
}

void CalibrationRun::Finish(bool success, const std::string& message) {
  if (!recording_) return;
  recording_ = false;
  current_.finished = true;
  current_.success = success;
  current_.message = message;
  current_.endMs = now_();
  current_.json = HandsetRecordJson(current_);
  finished_.push_back(current_);
  ready_after_last_ = false;
}

HandsetRecord CalibrationRun::RunOne(const std::string& step, int handsetNumber, uint64_t limitMs) {
  step_ = step;
  StartRecord(handsetNumber);
  AutoCalibration& w = *window_;
  if (step == "all") {
    w.OnAutoCalStart();
  } else if (step == "gmagic") {
    w.RunGmagic();
  } else if (step == "rx") {
    w.RunRxCal();
  } else if (step == "gsm") {
    w.RunGsmTx();
  } else if (step == "dcs") {
    if (!EnterTestMode()) {
      Finish(false, "the handset did not enter test mode (\"ti\", \"tms 1\")");
      return finished_.back();
    }
    w.RunDcsTx();
  } else {
    w.OnBatteryCal();
  }
  const uint64_t limit = limitMs ? limitMs : static_cast<uint64_t>(options_.maxMinutes) * 60000;
  run_until_([this] { return !recording_; }, limit);
  if (recording_) {
    recording_ = false;
    current_.endMs = now_();
    current_.message = "no outcome within " + std::to_string(limit / 60000) +
                       " minutes of station time (status \"" + view_.StatusText() + "\")";
    current_.json = HandsetRecordJson(current_);
    return current_;
  }
  return finished_.back();
}

// DCS TX follows GSM TX in a full run and finds the handset in test mode; run alone it would
// have every RF command refused. The tool enters test mode first, as GSM TX does.
bool CalibrationRun::EnterTestMode() {
  struct OneAnswer : ExchangeClient {
    AnswerClass cls = ANSWER_NONE;
    bool done = false;
    void DecodeAnswer(Exchange& ex) override {
      const AnswerClass c = ex.CheckAnswer();
      if (c == ANSWER_NONE || c == ANSWER_OTHER) return;
      cls = c;
      done = true;
      ex.StopTimers();
    }
    void OnAnswerTimeout(Exchange& ex) override {
      done = true;
      ex.StopTimers();
    }
  };
  OneAnswer client;
  Exchange exchange(loop_, port_, client, TEST_MODE_ANSWER_MS);
  exchange.onWire = [this](const uint8_t* wire, size_t count) {
    Transmitted(Cal().LastCommandLine, wire, count, false);
  };
  port_.SetOwner(&exchange);
  bool ok = true;
  for (const char* line : {"ti", "tms 1"}) {
    client = OneAnswer{};
    CalEncode(line);
    exchange.LoadFrame();
    exchange.TransmitFrame();
    run_until_([&client] { return client.done; }, TEST_MODE_ANSWER_MS * 2);
    if (client.cls != ANSWER_OK) {
      ok = false;
      break;
    }
  }
  window_->TakePort();  // the borrowed exchange kills its timers as it goes
  view_.Line(ok ? "Test mode entered (ti, tms 1)" : "Test mode refused or no answer");
  return ok;
}

void CalibrationRun::PrepareProduction(int handsets) {
  production_ = true;
  step_ = "all";
  wanted_ = handsets;
  finished_.clear();
  // The simulated operator starts with an empty jig.
  if (bench_) bench_->InsertHandset(false);
}

std::vector<HandsetRecord> CalibrationRun::RunProduction(int handsets) {
  if (!production_) PrepareProduction(handsets);
  if (bench_ && schedule_) schedule_(OPERATOR_DELAY_MS, [this] { InsertNext(); });
  const uint64_t limit =
      static_cast<uint64_t>(options_.maxMinutes) * 60000 * static_cast<uint64_t>(handsets);
  run_until_(
      [this] {
        return link_lost_ || (static_cast<int>(finished_.size()) >= wanted_ && ready_after_last_);
      },
      limit);
  if (recording_) {
    recording_ = false;
    current_.endMs = now_();
    current_.message = "no outcome within the station time allowed";
    current_.json = HandsetRecordJson(current_);
    finished_.push_back(current_);
  }
  production_ = false;
  return finished_;
}

void CalibrationRun::InsertNext() {
  if (inserted_ > 0) bench_->NewUnit();
  bench_->InsertHandset(true);
  handset_in_ = true;
  removal_scheduled_ = false;
  ++inserted_;
}

void CalibrationRun::OnStatus(const std::string& text) {
  if (!production_) return;
  if (text == STATUS_CHECKING && !recording_) {
    StartRecord(static_cast<int>(finished_.size()) + 1);
  } else if (text == STATUS_REMOVE && bench_ && schedule_ && handset_in_ && !removal_scheduled_) {
    removal_scheduled_ = true;
    schedule_(OPERATOR_DELAY_MS, [this] {
      bench_->InsertHandset(false);
      handset_in_ = false;
      if (inserted_ < wanted_) schedule_(OPERATOR_DELAY_MS, [this] { InsertNext(); });
    });
  } else if (text == STATUS_READY && static_cast<int>(finished_.size()) >= wanted_) {
    ready_after_last_ = true;
  }
}

void CalibrationRun::Abort() {
  recording_ = false;
  window_->StopCalibration();
}

void CalibrationRun::Transmitted(const std::string& line, const uint8_t* wire, size_t count,
                                 bool resend) {
  trace_.Transmitted(line, wire, count, resend);
}

void CalibrationRun::AnswerFrame(const uint8_t* frame, size_t count, AnswerClass cls) {
  trace_.AnswerFrame(frame, count, cls);
}

void CalibrationRun::HandsetReading(const char* what, double value) {
  if (!recording_) return;
  const std::string w = what;
  if (w == "battery_adc") current_.batteryReadings.push_back(value);
  if (w == "rssi") current_.rssiReadings.push_back(value);
}

void CalibrationRun::StepFinished(int activeStep, bool ok) {
  trace_.StepFinished(activeStep, ok);
  if (!recording_) return;
  if (!ok) return Finish(false, Cal().ResultMessage);
  current_.stepsEnded.push_back(StepName(activeStep));
  const bool last = step_ == "all" ? activeStep == STEP_DCS_TX : step_ == StepName(activeStep);
  if (last) Finish(true, EndText(step_));
}
