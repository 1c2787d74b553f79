#include "app/MenuTable.h"

const std::vector<Menu>& MainMenu() {
  static const std::vector<Menu> menu = {
      {"Target(&T)",
       {{"Open", ID_TARGET_OPEN},
        {"Close", ID_TARGET_CLOSE},
        {"Reset", ID_TARGET_RESET},
        {"&Save as File", ID_TARGET_SAVE_AS_FILE},
        {nullptr, 0},
        {"Exit (&X)", ID_APP_EXIT}}},
      {"Repair[&R]", {{"Logic Test", ID_REPAIR_LOGIC_TEST}, {"RF Test", ID_REPAIR_RF_TEST}}},
      {"View[&V]", {{"EEPROM MAP", ID_VIEW_EEPROM_MAP}}},
      {"Auto Cal [&A]",
       {{"RF Parameter Setting", ID_RF_PARAMETER}, {"AutoCalibration", ID_AUTO_CALIBRATION}}},
      {"Manual Cal[&M]",
       {{"GSM / DCS Ramp table", ID_MANUAL_RAMP}, {"Input Window", ID_INPUT_WINDOW}}},
      {"IMEI", {{"Read/Wtrite", ID_IMEI_RW}}},
      {"Help(&H)",
       {{"도움말 항목(&H)", ID_HELP_FINDER}, {nullptr, 0}, {"Tesmira 정보(&A)...", ID_APP_ABOUT}}},
  };
  return menu;
}

const std::vector<ToolbarButton>& MainToolbar() {
  static const std::vector<ToolbarButton> bar = {
      {ID_FILE_NEW, "New"},     {ID_FILE_OPEN, "Open"},
      {ID_FILE_SAVE, "Save"},   {0, nullptr},
      {ID_EDIT_CUT, "Cut"},     {ID_EDIT_COPY, "Copy"},
      {ID_EDIT_PASTE, "Paste"}, {0, nullptr},
      {ID_FILE_PRINT, "Print"}, {0, nullptr},
      {ID_APP_ABOUT, "About"},  {ID_CONTEXT_HELP, "Help"},
      {ID_TOOLBAR_32780, ""},
  };
  return bar;
}

bool HasNoHandler(int id) {
  switch (id) {
    case ID_TARGET_SAVE_AS_FILE:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_TOOLBAR_32780:
      return true;
    default:
      return false;
  }
}
