#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "CalBench.h"
#include "calibration/ApcSearch.h"
#include "sim/HandsetUnit.h"

namespace caltest {
namespace {

using Lines = std::vector<std::string>;
using Waits = std::vector<uint32_t>;

double ToleranceAt(bool dcs, int level) {
  double tolerance = 0.0;
  for (const ApcLevelRow& r : dcs ? DcsLevelTable() : GsmLevelTable()) {
    if (r.tolerance > 0.0) tolerance = r.tolerance;
    if (r.level == level) break;
  }
  return tolerance;
}

uint32_t MeasureWait(bool dcs, int level) {
  if (dcs) return level == 100 ? 2000 : (level >= 114 ? 4000 : 200);
  return (level == 5 || level == 13 || level >= 17) ? 2000 : 300;
}

// Walks the lines of one band's run as the station must send them, checking each level's
// start value, the direction of every correction, the settled value in the table, and the
// top-level fill; builds the waits the run must have made.
class TxRunChecker {
 public:
  TxRunChecker(bool dcs, Lines lines, size_t first, std::vector<double> powers)
      : dcs_(dcs), lines_(std::move(lines)), i_(first), powers_(std::move(powers)) {}

  void Check() {
    const RfConfig& rf = RfConfiguration();
    if (dcs_) {
      Expect("rfpw 1 " + std::to_string(rf.DcsBchChannel));
    } else {
      Expect("ti");
      Expect("tms 1");
    }
    for (int k = 1; k <= 3; ++k) {
      waits_.push_back(500);
      Expect("rfpw 2 " + std::to_string(dcs_ ? rf.DcsTchChannel[k] : rf.GsmTchChannel[k]));
      if (k == 1) {
        if (!dcs_) waits_.push_back(100);
        Expect("rfe 7");
        waits_.push_back(dcs_ ? 1000 : 2000);
      }
      CheckSubBand(k);
    }
    if (dcs_) waits_.push_back(500);
    Expect("rfe 0");
    waits_.push_back(500);
    if (dcs_) Expect("se 1");
    EXPECT_EQ(i_, lines_.size()) << "lines after the end of the band";
    EXPECT_EQ(p_, powers_.size()) << "measurements not matched to a write";
  }

  const Waits& waits() const { return waits_; }
  int corrections() const { return corrections_; }
  bool filled() const { return filled_; }

 private:
  void Expect(const std::string& line) {
    ASSERT_LT(i_, lines_.size()) << "missing " << line;
    EXPECT_EQ(lines_[i_], line) << "line " << i_;
    ++i_;
  }

  void CheckSubBand(int k) {
    const std::string prefix = ApcCommandPrefix(dcs_, k);
    const int first = dcs_ ? 100 : 5;
    const int last = dcs_ ? 115 : 19;
    int previous = 0;
    for (int level = first; level <= last; ++level) {
      Expect("txpw 1 " + std::to_string(level));
      const ApcLevelRow* row = FindApcLevelRow(level);
      const double tolerance = ToleranceAt(dcs_, level);
      std::vector<int> writes;
      std::vector<double> powers;
      while (i_ < lines_.size() && lines_[i_].rfind(prefix, 0) == 0) {
        writes.push_back(std::stoi(lines_[i_].substr(prefix.size())));
        ++i_;
        waits_.push_back(MeasureWait(dcs_, level));
        if (p_ >= powers_.size()) {
          ADD_FAILURE() << "a write without a measurement";
          return;
        }
        powers.push_back(powers_[p_++]);
      }
      ASSERT_FALSE(writes.empty()) << "no APC write at level " << level;
      EXPECT_EQ(writes[0], level == first ? row->step : previous - row->step) << level;
      for (size_t j = 0; j + 1 < writes.size(); ++j) {
        const double d = row->target - powers[j];
        EXPECT_GE(std::fabs(d), tolerance - 1e-9) << "corrected inside tolerance at " << level;
        if (d > 0) {
          EXPECT_GE(writes[j + 1], writes[j]) << "too weak must go up at " << level;
        } else {
          EXPECT_LE(writes[j + 1], writes[j]) << "too strong must go down at " << level;
        }
      }
      EXPECT_LT(std::fabs(row->target - powers.back()), tolerance) << "settled outside " << level;
      corrections_ += static_cast<int>(writes.size()) - 1;
      const int settled = writes.back();
      const auto& table = dcs_ ? Cal().DcsApcTable : Cal().GsmApcTable;
      EXPECT_EQ(table[static_cast<size_t>(k)][static_cast<size_t>(level - (dcs_ ? 100 : 0))],
                settled);
      if (level == first && writes.size() > 1) {
        filled_ = true;
        const int fillFirst = dcs_ ? 129 : 0;
        const int fillEnd = dcs_ ? 132 : 5;
        for (int n = fillFirst; n < fillEnd; ++n) {
          Expect("txpw 1 " + std::to_string(n));
          Expect(prefix + std::to_string(settled));
          EXPECT_EQ(table[static_cast<size_t>(k)][static_cast<size_t>(n - (dcs_ ? 100 : 0))],
                    settled);
        }
      }
      previous = settled;
    }
  }

  bool dcs_;
  Lines lines_;
  size_t i_;
  std::vector<double> powers_;
  size_t p_ = 0;
  Waits waits_;
  int corrections_ = 0;
  bool filled_ = false;
};

std::vector<double> Powers(const std::vector<std::pair<std::string, double>>& m, size_t first) {
  std::vector<double> out;
  for (size_t i = first; i < m.size(); ++i) {
    if (m[i].first == "tx_power") out.push_back(m[i].second);
  }
  return out;
}

TEST_F(CalBench, GsmAndDcsFollowTheLevelTablesSubBandBySubBand) {
  window->RunGsmTx();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(steps.back(), std::make_pair(STEP_GSM_TX, true));
  TxRunChecker gsm(false, SentLines(), 0, Powers(measurements, 0));
  gsm.Check();
  EXPECT_EQ(WaitLengths(), gsm.waits());
  EXPECT_GT(gsm.corrections(), 0);
  EXPECT_EQ(view.status, "PGSM TX CAL END");
  EXPECT_EQ(view.cells[std::make_tuple(1354, 0, 1)], std::to_string(Cal().GsmApcTable[1][5]));

  const size_t firstLine = sent.size();
  const size_t firstMeasurement = measurements.size();
  waits.clear();
  window->RunDcsTx();
  ASSERT_TRUE(RunUntilStepDone());
  ASSERT_EQ(steps.back(), std::make_pair(STEP_DCS_TX, true));
  TxRunChecker dcs(true, SentLines(), firstLine, Powers(measurements, firstMeasurement));
  dcs.Check();
  EXPECT_EQ(WaitLengths(), dcs.waits());
  EXPECT_EQ(view.status, "Calibration Success.... ");
  EXPECT_EQ(view.cells[std::make_tuple(1371, 15, 3)], std::to_string(Cal().DcsApcTable[3][15]));
  EXPECT_EQ(Sequencer().DcsSubBand, 0);  // the test set was reset after the save
}

TEST_F(CalBench, FirstLevelSettledAtOnceWritesNoTopLevels) {
  // Find a unit whose first GSM level needs no correction on sub-band 1 (about one in ten).
  bool found = false;
  for (uint64_t seed = 1; seed < 200 && !found; ++seed) {
    Start({TESTSET_8960, SUPPLY_NONE, "", seed});
    const double p = rig->bench().TrueTxPowerDbm(2, 1, 580) - rig->bench().PathLossDb(890.2) +
                     1.2;  // what the test set reads with the dialog's loss
    found = std::fabs(31.7 - p) < 0.05;
  }
  ASSERT_TRUE(found);
  window->RunGsmTx();
  ASSERT_TRUE(RunUntilSent("rfpw 2 62"));  // sub-band 1 done
  const Lines lines = SentLines();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[4], "txpw 1 5");
  EXPECT_EQ(lines[5], "txpw 4 580");
  EXPECT_EQ(lines[6], "txpw 1 6");  // no "txpw 1 0".."txpw 1 4"
  EXPECT_EQ(CountPrefix("txpw 1 0"), 0u);
}

TEST_F(CalBench, AWeakAmplifierFailsTheBandAfterSeventyCorrections) {
  // One unit with a weak GSM amplifier and one with a weak DCS amplifier.
  for (const bool wantDcs : {false, true}) {
    bool dcs = !wantDcs;
    for (uint64_t seed = 1; seed < 100 && dcs != wantDcs; ++seed) {
      Start({TESTSET_8960, SUPPLY_NONE, "", seed});
      rig->bench().ForceDefect(sim::UnitDefect::TX);
      dcs = rig->bench().Unit().dcsTx[1].offsetDb < 0.0;
    }
    ASSERT_EQ(dcs, wantDcs);
    window->RunGsmTx();
    ASSERT_TRUE(RunUntilStepDone());
    if (dcs) {
      ASSERT_EQ(steps.back(), std::make_pair(STEP_GSM_TX, true));
      window->RunDcsTx();
      ASSERT_TRUE(RunUntilStepDone());
    }
    EXPECT_EQ(steps.back(), std::make_pair(dcs ? STEP_DCS_TX : STEP_GSM_TX, false));
    EXPECT_EQ(notifier.results, Lines{dcs ? "DCS 1Band 100LEVEL FAIL" : "GSM 1Band 5LEVEL FAIL"});
    // The first write of the level and seventy corrections; the 71st is never sent.
    size_t writes = 0;
    const std::string level = dcs ? "txpw 1 100" : "txpw 1 5";
    bool in = false;
    for (const Sent& s : sent) {
      if (s.line.rfind("txpw 1 ", 0) == 0) in = s.line == level;
      if (in && s.line.rfind("txpw 4 ", 0) == 0) ++writes;
    }
    EXPECT_EQ(writes, 71u);
    EXPECT_EQ(sent.back().line, "rfe 0");
    EXPECT_EQ(Instruments().InstrumentFault, 0);
  }
}

TEST_F(CalBench, ATestSetErrorFailsTheStepAtOnceInsteadOfWaiting) {
  rig->bench().faults.testSetError = true;
  window->RunGsmTx();
  rig->loop().RunFor(60'000);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps.back(), std::make_pair(STEP_GSM_TX, false));
  ASSERT_EQ(notifier.results.size(), 1u);
  EXPECT_EQ(notifier.results[0].substr(0, 4), "GSM ");
  EXPECT_NE(notifier.results[0].find("Band 5LEVEL FAIL"), std::string::npos);
  // Nothing was sent to wait on: only the stop's "rfe 0".
  EXPECT_EQ(SentLines(), Lines{"rfe 0"});
}

}  // namespace
}  // namespace caltest
