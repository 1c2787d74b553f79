#include "cli/CalibratePlot.h"

#include <QGuiApplication>
#include <memory>

#include "calibration/ui/CalibrationCharts.h"

bool WriteCalibratePlot(const std::string& path, const CalibrationCurves& curves,
                        const std::string& caption, std::string* error) {
  // The painter's fonts need a GUI application; a file needs no display.
  std::unique_ptr<QGuiApplication> app;
  if (QGuiApplication::instance() == nullptr) {
    static int argc = 3;
    static char name[] = "tesmira-cli";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  QString reason;
  if (WriteCalibrationPlots(QString::fromStdString(path), curves, QString::fromStdString(caption),
                            &reason)) {
    return true;
  }
  if (error) *error = reason.toStdString();
  return false;
}
