#pragma once

#include <QDialog>

#include "link/TargetConnection.h"

struct StationContext;

// "E2P Reset": asks before the RF calibration data is erased. Both buttons end the dialog with
// result 5; "예" then lets the caller send the reset (Yes on the logic).
class CTargetResetDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int RESULT_CODE = 5;
  static constexpr int ID_YES = 1059;
  static constexpr int ID_NO = 1036;

  CTargetResetDlg(StationContext& context, QWidget* parent);

  bool YesPressed() const { return yes_; }
  TargetReset& Logic() { return logic_; }

 private:
  TargetReset logic_;
  bool yes_ = false;
};
