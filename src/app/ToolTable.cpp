#include "app/ToolTable.h"

#include "app/MenuTable.h"
#include "production/ImeiRwDlg.h"
#include "service/GsmrampDlg.h"
#include "service/ManualCalDlg.h"

// One line per tool window; each window's folder provides its factory.
const std::vector<ToolKind>& StationToolKinds() {
  // clang-format off
  static const std::vector<ToolKind> kinds = {
      {ID_INPUT_WINDOW, &CreateManualCalDlg, false},
      {ID_AUTO_CALIBRATION, nullptr, true},
      {ID_MANUAL_RAMP, &CreateGsmrampDlg, false},
      {ID_IMEI_RW, &CImeiRwDlg::Create, false},
      {ID_VIEW_EEPROM_MAP, nullptr, false},
      {ID_REPAIR_RF_TEST, nullptr, false},
      {ID_REPAIR_LOGIC_TEST, nullptr, false},
  };
  // clang-format on
  return kinds;
}
