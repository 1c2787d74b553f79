#pragma once

#include <QImage>
#include <QString>

#include "calibration/CalibrationCurves.h"
#include "widgets/LineChart.h"

// The calibration's plots, for the window's line charts and for PNG files: GSM and DCS APC
// value against power level (one line per sub-band) and the RX correction per channel, the
// previous handset faint behind the current one.
LineChartData GsmApcChartData(const CalibrationCurves& curves);
LineChartData DcsApcChartData(const CalibrationCurves& curves);
LineChartData RxChartData(const CalibrationCurves& curves);

// The three plots one above the other (the painter needs a QGuiApplication for its fonts).
QImage RenderCalibrationPlots(const CalibrationCurves& curves, const QString& caption,
                              int width = 900);
// Writes that picture as PNG; false with the reason.
bool WriteCalibrationPlots(const QString& path, const CalibrationCurves& curves,
                           const QString& caption, QString* error);
