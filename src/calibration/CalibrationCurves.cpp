#include "calibration/CalibrationCurves.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr double NONE = std::numeric_limits<double>::quiet_NaN();

bool ParseValue(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = static_cast<double>(v);
  return true;
}

template <typename Row>
bool AnyValue(const Row& row) {
  for (double v : row) {
    if (std::isfinite(v)) return true;
  }
  return false;
}

}  // namespace

CurveSet::CurveSet() {
  for (auto& row : gsm) row.fill(NONE);
  for (auto& row : dcs) row.fill(NONE);
  rx.fill(NONE);
}

bool CurveSet::Empty() const {
  for (const auto& row : gsm) {
    if (AnyValue(row)) return false;
  }
  for (const auto& row : dcs) {
    if (AnyValue(row)) return false;
  }
  return !AnyValue(rx);
}

void CalibrationCurves::SetCell(CalList list, int row, int column, const std::string& text) {
  double value = 0.0;
  if (row < 0 || !ParseValue(text, &value)) return;
  const auto r = static_cast<size_t>(row);
  const auto band = static_cast<size_t>(column - 1);
  switch (list) {
    case CalList::GsmApc:
      if (row < GSM_APC_ROWS && column >= 1 && column <= APC_SUB_BANDS) {
        current_.gsm[band][r] = value;
      }
      break;
    case CalList::DcsApc:
      if (row < DCS_APC_ROWS && column >= 1 && column <= APC_SUB_BANDS) {
        current_.dcs[band][r] = value;
      }
      break;
    case CalList::RxChannel:
      if (row < RX_ROWS && column == 1) current_.rx[r] = value;
      break;
  }
}

void CalibrationCurves::NextHandset() {
  if (current_.Empty()) return;
  previous_ = current_;
  current_ = CurveSet{};
}
