#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Bench.h"

struct BenchContext;

namespace sim {
class SimSupply;
}

// The operator's hands on the simulated bench, for a panel window on another thread: the
// supply's front panel (output switch and reading), the jig (put a handset in, take it out)
// and the defect of the next unit put in. Actions from any thread are queued and applied on the
// bench thread, which publishes what the panel shows in a snapshot. Qt-free.
enum class NextDefect { GOOD, TX, RX, GMAGIC, BATTERY, SILENT };

struct BenchSnapshot {
  bool haveSupply = false;
  std::string supplyModel;
  bool supplyOn = false;
  double supplyVolts = 0.0;
  double supplyAmps = 0.0;
  bool handsetInserted = false;
  bool handsetPowered = false;
  int unitIndex = 0;
  sim::UnitDefect unitDefect = sim::UnitDefect::NONE;
  bool unitSilent = false;
  NextDefect nextDefect = NextDefect::GOOD;
  bool haveScanner = false;
  std::string scannerNextCode;  // what the scanner's next read gives
  int version = 0;              // counts refreshes
};

class BenchControls {
 public:
  static constexpr uint64_t REFRESH_MS = 250;
  static constexpr double FRONT_PANEL_VOLTS = 3.8;
  static constexpr double FRONT_PANEL_AMPS = 3.0;
  static constexpr size_t SCANNER_CODE_MAX = 32;

  // supply: the bench's supply, or nullptr when it has none. Actions wake the bench thread
  // through a pipe the context watches.
  BenchControls(BenchContext& context, std::shared_ptr<sim::SimSupply> supply);
  ~BenchControls();
  BenchControls(const BenchControls&) = delete;
  BenchControls& operator=(const BenchControls&) = delete;

  // Any thread.
  void SetSupplyOutput(bool on);  // on: the jig's output at 3.8 V / 3.0 A
  void InsertHandset(bool inserted);
  void SetNextDefect(NextDefect defect);
  // The code the scanner's next read gives. One typed again before that read replaces it;
  // the codes of --scanner-code follow. False (nothing changed) for a code a barcode could not
  // carry: empty, longer than SCANNER_CODE_MAX, or other than printable ASCII.
  bool SetScannerNextCode(std::string_view code);
  // Any other action on the bench thread (further controls: the scanner's next code, ...).
  void Post(std::function<void(BenchContext&)> action);
  BenchSnapshot Snapshot() const;

  // Bench thread.
  void RunPending();
  void Refresh();
  void StartRefreshing();  // a refresh every REFRESH_MS on the bench's loop

 private:
  void ApplyInsert(bool inserted);

  BenchContext& context_;
  std::shared_ptr<sim::SimSupply> supply_;
  int wake_[2] = {-1, -1};
  mutable std::mutex mutex_;
  std::vector<std::function<void(BenchContext&)>> pending_;  // guarded
  BenchSnapshot snapshot_;                                   // guarded
  NextDefect next_defect_ = NextDefect::GOOD;                // bench thread
  bool removed_since_draw_ = false;                          // bench thread
  std::string panel_code_;  // bench thread: the last code typed, while not yet read
};

const char* NextDefectName(NextDefect defect);
bool ValidScannerCode(std::string_view code);
// The bench's supply among the context's devices (nullptr without one).
std::shared_ptr<sim::SimSupply> FindBenchSupply(const BenchContext& context);
