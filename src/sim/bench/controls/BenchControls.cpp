#include "sim/bench/controls/BenchControls.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "sim/ScannerSim.h"
#include "sim/bench/BenchService.h"
#include "sim/instruments/SimSupply.h"

namespace {

sim::UnitDefect UnitDefectOf(NextDefect defect) {
  switch (defect) {
    case NextDefect::TX:
      return sim::UnitDefect::TX;
    case NextDefect::RX:
      return sim::UnitDefect::RX;
    case NextDefect::GMAGIC:
      return sim::UnitDefect::GMAGIC;
    case NextDefect::BATTERY:
      return sim::UnitDefect::BATTERY;
    case NextDefect::GOOD:
    case NextDefect::SILENT:
      break;
  }
  return sim::UnitDefect::NONE;
}

}  // namespace

const char* NextDefectName(NextDefect defect) {
  switch (defect) {
    case NextDefect::GOOD:
      return "good";
    case NextDefect::TX:
      return "TX";
    case NextDefect::RX:
      return "RX";
    case NextDefect::GMAGIC:
      return "GMAGIC";
    case NextDefect::BATTERY:
      return "battery";
    case NextDefect::SILENT:
      return "silent";
  }
  return "";
}

bool ValidScannerCode(std::string_view code) {
  if (code.empty() || code.size() > BenchControls::SCANNER_CODE_MAX) return false;
  for (char c : code) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

std::shared_ptr<sim::SimSupply> FindBenchSupply(const BenchContext& context) {
  for (const auto& [resource, device] : context.devices) {
    if (auto supply = std::dynamic_pointer_cast<sim::SimSupply>(device)) return supply;
  }
  return nullptr;
}

BenchControls::BenchControls(BenchContext& context, std::shared_ptr<sim::SimSupply> supply)
    : context_(context), supply_(std::move(supply)) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_[0] = wake_[1] = -1;
    return;
  }
  if (context_.watch) {
    context_.watch(wake_[0], [this] {
      char buffer[64];
      while (read(wake_[0], buffer, sizeof buffer) > 0) {
      }
      RunPending();
    });
  }
}

BenchControls::~BenchControls() {
  if (wake_[0] >= 0 && context_.unwatch) context_.unwatch(wake_[0]);
  for (int fd : wake_) {
    if (fd >= 0) close(fd);
  }
}

void BenchControls::Post(std::function<void(BenchContext&)> action) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back(std::move(action));
  }
  if (wake_[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(wake_[1], &c, 1);  // full pipe: already woken
  }
}

void BenchControls::SetSupplyOutput(bool on) {
  Post([this, on](BenchContext&) {
    if (supply_) supply_->FrontPanelOutput(on, FRONT_PANEL_VOLTS, FRONT_PANEL_AMPS);
  });
}

void BenchControls::InsertHandset(bool inserted) {
  Post([this, inserted](BenchContext&) { ApplyInsert(inserted); });
}

void BenchControls::SetNextDefect(NextDefect defect) {
  Post([this, defect](BenchContext&) { next_defect_ = defect; });
}

bool BenchControls::SetScannerNextCode(std::string_view code) {
  if (!ValidScannerCode(code)) return false;
  Post([this, code = std::string(code)](BenchContext& context) {
    if (context.scanner == nullptr) return;
    auto& codes = context.scanner->codes;
    if (!panel_code_.empty() && !codes.empty() && codes.front() == panel_code_) {
      codes.front() = code;
    } else {
      codes.push_front(code);
    }
    panel_code_ = code;
  });
  return true;
}

void BenchControls::ApplyInsert(bool inserted) {
  sim::Bench& bench = context_.bench;
  if (inserted == bench.HandsetInserted()) return;
  if (!inserted) {
    bench.InsertHandset(false);
    removed_since_draw_ = true;
    return;
  }
  // What goes into the jig after a removal is the next handset of the line.
  if (removed_since_draw_) {
    bench.NewUnit();
    bench.ForceDefect(UnitDefectOf(next_defect_));
    bench.faults.silentHandset = next_defect_ == NextDefect::SILENT;
    removed_since_draw_ = false;
  }
  bench.InsertHandset(true);
}

void BenchControls::RunPending() {
  std::vector<std::function<void(BenchContext&)>> actions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    actions.swap(pending_);
  }
  for (auto& action : actions) action(context_);
  if (!actions.empty()) Refresh();
}

void BenchControls::Refresh() {
  sim::Bench& bench = context_.bench;
  BenchSnapshot s;
  s.haveSupply = supply_ != nullptr;
  s.supplyModel = supply_ ? supply_->ModelName() : "";
  s.supplyOn = bench.SupplyOutputOn();
  s.supplyVolts = s.supplyOn ? bench.SupplyVolts() : 0.0;
  s.supplyAmps = s.supplyOn ? bench.SupplyCurrentA() : 0.0;
  s.handsetInserted = bench.HandsetInserted();
  s.handsetPowered = bench.HandsetPowered();
  s.unitIndex = bench.UnitIndex();
  s.unitDefect = bench.Defect();
  s.unitSilent = bench.faults.silentHandset;
  s.nextDefect = next_defect_;
  s.haveScanner = context_.scanner != nullptr;
  if (s.haveScanner) s.scannerNextCode = context_.scanner->NextCode();
  std::lock_guard<std::mutex> lock(mutex_);
  s.version = snapshot_.version + 1;
  snapshot_ = s;
}

void BenchControls::StartRefreshing() {
  Refresh();
  context_.loop.After(REFRESH_MS, [this] { StartRefreshing(); });
}

BenchSnapshot BenchControls::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return snapshot_;
}
