#pragma once

#include <string>

// What the auto-calibration logic needs from its window. The Qt dialog implements it over its
// controls; tesmira-cli prints; tests record. Identifiers are the dialog's control ids.

enum class CalField {
  GmagicGsm = 1356,
  GmagicDcs = 1357,
  BatteryValue = 1359,
  ClockText = 1470,
  ElapsedTime = 1471,
  InstrumentCheck = 1374,  // "OK" / "FAIL"
  TargetCheck = 1375,      // "OK" / "FAIL"
};

enum class CalList {
  GsmApc = 1354,     // columns "level", "GSM1".."GSM3"; rows "5".."19"
  DcsApc = 1371,     // columns "level", "DCS1".."DCS3"; rows "0".."15"
  RxChannel = 1355,  // columns "channel", "RF GAIN"; 17 rows of channel numbers
};

// Looks of the colour status label.
enum class StatusLook {
  Cleared,  // empty, font height 12 bold, RGB(0,255,64) on black (start, after a stop)
  Running,  // RGB(128,255,0) on black
  Success,  // black on RGB(0,255,64)
};

constexpr int PROGRESS_MAX = 200;

class AutoCalibrationView {
 public:
  virtual ~AutoCalibrationView() = default;

  // Dialog start: stage "MP", model "ZR907XC907", mode "BOARD CALIBRATION"; list columns.
  virtual void SelectDefaults() {}
  virtual void SetStatus(const std::string& text, StatusLook look) = 0;
  virtual void SetField(CalField field, const std::string& text) = 0;
  // Deletes every row of the three lists and creates the fixed rows again (columns stay).
  virtual void ResetLists() = 0;
  // column 1..3 of the APC lists (sub-band), column 1 of the RX list; row as in the list.
  virtual void SetListCell(CalList list, int row, int column, const std::string& text) = 0;
  virtual void SetProgress(int position) = 0;  // range 0..PROGRESS_MAX

  // Texts of the model and stage combos and of the "Phone name" field, for the log header.
  virtual std::string ModelText() const = 0;
  virtual std::string StageText() const = 0;
  virtual std::string PhoneName() const = 0;

  virtual void CloseWindow() {}  // "EXIT"
};
