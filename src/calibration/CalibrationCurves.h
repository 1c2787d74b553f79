#pragma once

#include <array>
#include <string>

#include "calibration/AutoCalibrationView.h"

// What the calibration window plots: the APC values of each sub-band against power level and
// the RX correction per channel, as the result lists receive them, for the handset in the jig
// and the one before it. Cells not yet filled are NaN.
constexpr int GSM_APC_ROWS = 15;  // levels 5..19
constexpr int DCS_APC_ROWS = 16;  // PCL 0..15
constexpr int RX_ROWS = 17;
constexpr int APC_SUB_BANDS = 3;

struct CurveSet {
  std::array<std::array<double, GSM_APC_ROWS>, APC_SUB_BANDS> gsm;  // [sub-band - 1][row]
  std::array<std::array<double, DCS_APC_ROWS>, APC_SUB_BANDS> dcs;
  std::array<double, RX_ROWS> rx;

  CurveSet();
  bool Empty() const;  // no value at all
};

class CalibrationCurves {
 public:
  // A cell as a result list gets it; anything that is not a cell of a curve, or not a
  // number, is left out.
  void SetCell(CalList list, int row, int column, const std::string& text);
  // A new handset: the current curves, when there are any, become the previous ones.
  void NextHandset();

  const CurveSet& Current() const { return current_; }
  const CurveSet& Previous() const { return previous_; }

 private:
  CurveSet current_;
  CurveSet previous_;
};
