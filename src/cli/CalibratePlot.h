#pragma once

#include <string>

#include "calibration/CalibrationCurves.h"

// `calibrate --plot FILE.png`: the APC curves and RX corrections of the run (the handset before
// it faint behind) as the calibration window draws them, rendered offscreen with Qt's painter.
bool WriteCalibratePlot(const std::string& path, const CalibrationCurves& curves,
                        const std::string& caption, std::string* error);
