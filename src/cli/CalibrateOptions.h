#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Options of `tesmira-cli calibrate`.
struct CalibrateOptions {
  bool sim = false;
  uint64_t seed = 1;
  bool seedGiven = false;
  std::string step = "all";  // all, gmagic, rx, gsm, dcs, battery
  int32_t testSetType = 1;   // 0 none, 1 8960, 2 4400
  int32_t supplyType = 5;    // 0 none, 4 66311B, 5 E3631A, 6 E3632A/E3633A
  std::string supplyModel = "3631A";
  int mode = 0;  // 0 board, 1 rf
  int handsets = 1;
  bool handsetsGiven = false;
  std::string model = "ZR907XC907";
  std::string stage = "MP";
  std::string name;
  std::string tracePath;
  std::string jsonPath;
  std::string plotPath;                   // PNG of the APC curves and RX corrections
  std::string logPath = "calresult.txt";  // "" = no log file
  bool logGiven = false;
  bool quiet = false;
  uint32_t maxMinutes = 60;  // station time allowed for one handset
  // Real bench: switch the supply on at 3.8 V / 3 A after the instrument check, as the operator
  // would at its front panel (the reset at open leaves the output of most models off).
  bool powerOn = false;

  // RF configuration as the dialog hands it over (defaults: confirmed untouched).
  std::array<double, 16> rf{};

  // Population
  int population = 0;
  double defectRate = 0.1;
  bool benchLosses = true;  // enter the bench's own cable losses in the RF configuration
  bool stepGiven = false;
  // Simulated test set: sigma of its TX power reading's scatter (dB, 0 = a reference reading).
  double txScatterDb = 0.0;
  bool txScatterGiven = false;
};

namespace CLI {
class App;
}

// Declares the options of "calibrate" on app, filling out as they are parsed (out gets its
// defaults here).
void DefineCalibrateOptions(CLI::App& app, CalibrateOptions& out);

// After parsing: the checks between options; false with a one-line reason.
bool CheckCalibrateOptions(CalibrateOptions& o, std::string& error);
