#include "app/ToolTable.h"

#include "app/MenuTable.h"
#include "calibration/AutocalibDlg.h"
#include "production/ImeiRwDlg.h"
#include "service/EepmapDlg.h"
#include "service/GsmrampDlg.h"
#include "service/LogicTestDlg.h"
#include "service/ManualCalDlg.h"
#include "service/RfTestDlg.h"

// One line per tool window; each window's folder provides its factory.
const std::vector<ToolKind>& StationToolKinds() {
  // clang-format off
  static const std::vector<ToolKind> kinds = {
      {ID_INPUT_WINDOW, &CreateManualCalDlg, false},
      {ID_AUTO_CALIBRATION, &CreateAutocalibDlg, true},
      {ID_MANUAL_RAMP, &CreateGsmrampDlg, false},
      {ID_IMEI_RW, &CImeiRwDlg::Create, false},
      {ID_VIEW_EEPROM_MAP, &CreateEepmapDlg, false},
      {ID_REPAIR_RF_TEST, &CreateRfTestDlg, false},
      {ID_REPAIR_LOGIC_TEST, &CreateLogicTestDlg, false},
  };
  // clang-format on
  return kinds;
}
