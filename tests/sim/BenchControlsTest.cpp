// The operator's hands on the simulated bench, as the bench panel uses them: actions queued
// from another thread, applied on the bench's thread, and what the panel shows.
#include "sim/bench/controls/BenchControls.h"

#include <gtest/gtest.h>

#include <thread>

#include "sim/Bench.h"
#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "sim/instruments/SimSupply.h"

namespace {

struct PanelBench {
  PanelBench()
      : bench(7, [this] { return loop.Now(); }),
        context{loop, bench, 7, nullptr, nullptr, {}, {}},
        supply(std::make_shared<sim::SimSupply>(bench, sim::SupplyModel::E3631A)) {
    context.watch = [this](int fd, std::function<void()> onReadable) {
      watched_fd = fd;
      on_readable = std::move(onReadable);
    };
    context.unwatch = [this](int fd) {
      if (fd == watched_fd) on_readable = nullptr;
    };
    context.devices.emplace_back("GPIB::5::INSTR", supply);
    controls = std::make_unique<BenchControls>(context, FindBenchSupply(context));
  }
  // What the bench thread does when the controls' pipe wakes it.
  void BenchThreadWakes() {
    ASSERT_TRUE(on_readable);
    on_readable();
  }
  std::string Query(const std::string& query) {
    loop.Advance(supply->Write(query));
    return supply->Read().value_or("<none>");
  }

  SimLoop loop;
  sim::Bench bench;
  BenchContext context;
  std::shared_ptr<sim::SimSupply> supply;
  int watched_fd = -1;
  std::function<void()> on_readable;
  std::unique_ptr<BenchControls> controls;
};

TEST(BenchControls, TheSupplySwitchIsTheSuppliesOwnFrontPanel) {
  PanelBench b;
  b.Query("*RST");  // as the station's instrument check leaves it: 0 V, output off
  ASSERT_FALSE(b.bench.HandsetPowered());

  std::thread panel([&] { b.controls->SetSupplyOutput(true); });  // the panel's thread
  panel.join();
  EXPECT_FALSE(b.bench.SupplyOutputOn()) << "applied before the bench thread ran it";
  b.BenchThreadWakes();
  EXPECT_TRUE(b.bench.SupplyOutputOn());
  EXPECT_DOUBLE_EQ(b.bench.SupplyVolts(), 3.8);
  EXPECT_EQ(b.Query("OUTP?"), "1");  // the station reads back what the panel set
  b.loop.RunFor(sim::Bench::BOOT_MS + 100);
  EXPECT_TRUE(b.bench.HandsetReady());

  b.controls->Refresh();
  BenchSnapshot s = b.controls->Snapshot();
  EXPECT_TRUE(s.haveSupply);
  EXPECT_EQ(s.supplyModel, "E3631A");
  EXPECT_TRUE(s.supplyOn);
  EXPECT_DOUBLE_EQ(s.supplyVolts, 3.8);
  EXPECT_GT(s.supplyAmps, 0.075);  // the production loop sees a handset

  b.controls->SetSupplyOutput(false);
  b.BenchThreadWakes();
  s = b.controls->Snapshot();
  EXPECT_FALSE(s.supplyOn);
  EXPECT_EQ(s.supplyAmps, 0.0);
  EXPECT_EQ(b.Query("OUTP?"), "0");
  EXPECT_FALSE(b.bench.HandsetPowered());
}

TEST(BenchControls, AHandsetPutInAfterARemovalIsTheNextUnitWithTheChosenDefect) {
  PanelBench b;
  const int first = b.bench.UnitIndex();
  b.controls->InsertHandset(true);  // already in: nothing changes
  b.BenchThreadWakes();
  EXPECT_EQ(b.bench.UnitIndex(), first);

  struct Case {
    NextDefect next;
    sim::UnitDefect defect;
    bool silent;
  };
  const Case cases[] = {
      {NextDefect::TX, sim::UnitDefect::TX, false},
      {NextDefect::SILENT, sim::UnitDefect::NONE, true},
      {NextDefect::GMAGIC, sim::UnitDefect::GMAGIC, false},
      {NextDefect::BATTERY, sim::UnitDefect::BATTERY, false},
      {NextDefect::RX, sim::UnitDefect::RX, false},
      {NextDefect::GOOD, sim::UnitDefect::NONE, false},
  };
  int expectedIndex = first;
  for (const Case& c : cases) {
    SCOPED_TRACE(NextDefectName(c.next));
    b.controls->SetNextDefect(c.next);
    b.controls->InsertHandset(false);
    b.BenchThreadWakes();
    BenchSnapshot s = b.controls->Snapshot();
    EXPECT_FALSE(s.handsetInserted);
    EXPECT_EQ(s.nextDefect, c.next);
    EXPECT_EQ(b.bench.UnitIndex(), expectedIndex) << "drawn before it was put in";

    b.controls->InsertHandset(true);
    b.BenchThreadWakes();
    ++expectedIndex;
    s = b.controls->Snapshot();
    EXPECT_TRUE(s.handsetInserted);
    EXPECT_EQ(s.unitIndex, expectedIndex);
    EXPECT_EQ(s.unitDefect, c.defect);
    EXPECT_EQ(s.unitSilent, c.silent);
    EXPECT_EQ(b.bench.faults.silentHandset, c.silent);
  }
}

TEST(BenchControls, StopsWatchingItsPipeWhenDestroyed) {
  PanelBench b;
  ASSERT_GE(b.watched_fd, 0);
  b.controls.reset();
  EXPECT_FALSE(b.on_readable);
}

// The scanner's next code from the panel: the next read gives it, a code typed again before
// that read replaces it, the command line's codes follow; what a barcode cannot carry is refused.
TEST(BenchControls, TheScannersNextCodeIsWhatTheNextReadGives) {
  PanelBench b;
  EXPECT_FALSE(b.controls->Snapshot().haveScanner);
  EXPECT_TRUE(b.controls->SetScannerNextCode("350000001234565"));
  b.BenchThreadWakes();  // no scanner on this bench: nothing to change, nothing breaks
  EXPECT_FALSE(b.controls->Snapshot().haveScanner);

  sim::ScannerModel scanner(7);
  scanner.codes = {"from-the-command-line"};
  b.context.scanner = &scanner;
  b.controls->SetScannerNextCode("350000001234565");
  b.BenchThreadWakes();
  EXPECT_EQ(b.controls->Snapshot().scannerNextCode, "350000001234565");
  EXPECT_TRUE(b.controls->Snapshot().haveScanner);
  b.controls->SetScannerNextCode("G10000001234565");  // typed again before the read
  b.BenchThreadWakes();
  EXPECT_EQ(scanner.TakeCode(), "G10000001234565");
  b.controls->SetScannerNextCode("350000001234573");  // after the read: read next again
  b.BenchThreadWakes();
  EXPECT_EQ(scanner.TakeCode(), "350000001234573");
  EXPECT_EQ(scanner.TakeCode(), "from-the-command-line");
  b.controls->Refresh();
  EXPECT_EQ(b.controls->Snapshot().scannerNextCode, scanner.NextCode());  // a made-up one

  for (const std::string& bad : {std::string(), std::string(33, '3'), std::string("35\r0"),
                                 std::string("35\xC3\xA9"), std::string("a\tb")}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(b.controls->SetScannerNextCode(bad));
  }
  EXPECT_TRUE(b.controls->SetScannerNextCode(std::string(32, '3')));
  b.BenchThreadWakes();
  EXPECT_EQ(scanner.codes, (std::deque<std::string>{std::string(32, '3')}));
}

}  // namespace
