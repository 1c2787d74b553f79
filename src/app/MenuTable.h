#pragma once

#include <vector>

// Command ids of the main window, as the operator's work instructions know them.
enum CommandId : int {
  ID_FILE_NEW = 57600,
  ID_FILE_OPEN = 57601,
  ID_FILE_SAVE = 57603,
  ID_FILE_PRINT = 57607,
  ID_EDIT_COPY = 57634,
  ID_EDIT_CUT = 57635,
  ID_EDIT_PASTE = 57637,
  ID_APP_ABOUT = 57664,
  ID_APP_EXIT = 57665,
  ID_HELP_FINDER = 57667,
  ID_CONTEXT_HELP = 57669,
  ID_HELP = 57670,
  ID_DEFAULT_HELP = 57671,
  ID_TOOLBAR_32780 = 32780,  // on the toolbar, no handler
  ID_TARGET_OPEN = 32782,
  ID_TARGET_CLOSE = 32786,
  ID_TARGET_RESET = 32788,
  ID_IMEI_RW = 32792,
  ID_VIEW_EEPROM_MAP = 32795,
  ID_MANUAL_RAMP = 32796,
  ID_TARGET_SAVE_AS_FILE = 32797,  // no handler
  ID_INPUT_WINDOW = 32801,
  ID_RF_PARAMETER = 32802,
  ID_AUTO_CALIBRATION = 32805,
  ID_REPAIR_RF_TEST = 32808,
  ID_REPAIR_LOGIC_TEST = 32809,
};

struct MenuItem {
  const char* text;  // nullptr: separator
  int id;
};

struct Menu {
  const char* title;
  std::vector<MenuItem> items;
};

// The main menu, texts exactly as the operators know them (mnemonics after '&').
const std::vector<Menu>& MainMenu();

// The toolbar, left to right; id 0 is a separator.
struct ToolbarButton {
  int id;
  const char* tip;
};
const std::vector<ToolbarButton>& MainToolbar();

// Commands that have no handler and are shown disabled.
bool HasNoHandler(int id);
