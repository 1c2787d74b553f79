#include "calibration/ui/CalibrationCharts.h"

#include <QPainter>
#include <limits>

namespace {

constexpr double NO_LIMIT = std::numeric_limits<double>::quiet_NaN();
constexpr int CHART_HEIGHT = 240;
const QColor SUB_BAND_COLOURS[APC_SUB_BANDS] = {{255, 210, 60}, {80, 200, 255}, {255, 110, 200}};
const QColor RX_COLOUR{128, 255, 0};

template <size_t N>
ChartSeries Series(const std::array<double, N>& values, const QColor& colour, bool faint,
                   const QString& name) {
  ChartSeries s;
  s.colour = colour;
  s.upper = NO_LIMIT;
  s.lower = NO_LIMIT;
  s.faint = faint;
  s.name = faint ? QString() : name;
  s.points.assign(values.begin(), values.end());
  return s;
}

template <size_t N>
LineChartData ApcChart(const QString& title, const char* bandName, int firstLevel,
                       const std::array<std::array<double, N>, APC_SUB_BANDS>& current,
                       const std::array<std::array<double, N>, APC_SUB_BANDS>& previous) {
  LineChartData data;
  data.title = title;
  data.valueAxis = QStringLiteral("APC DAC");
  for (size_t i = 0; i < N; ++i) data.stepLabels << QString::number(firstLevel + int(i));
  for (size_t k = 0; k < APC_SUB_BANDS; ++k) {
    data.series.push_back(Series(previous[k], SUB_BAND_COLOURS[k], true, {}));
  }
  for (size_t k = 0; k < APC_SUB_BANDS; ++k) {
    data.series.push_back(Series(current[k], SUB_BAND_COLOURS[k], false,
                                 QStringLiteral("%1%2").arg(bandName).arg(k + 1)));
  }
  return data;
}

}  // namespace

LineChartData GsmApcChartData(const CalibrationCurves& curves) {
  return ApcChart(QStringLiteral("GSM APC (level)"), "GSM", 5, curves.Current().gsm,
                  curves.Previous().gsm);
}

LineChartData DcsApcChartData(const CalibrationCurves& curves) {
  return ApcChart(QStringLiteral("DCS APC (level)"), "DCS", 0, curves.Current().dcs,
                  curves.Previous().dcs);
}

LineChartData RxChartData(const CalibrationCurves& curves) {
  static const int channels[RX_ROWS] = {1,   20,  40,  62,  80,  100, 124,  512, 585,
                                        660, 700, 790, 835, 885, 975, 1000, 1023};
  LineChartData data;
  data.title = QStringLiteral("RX correction (channel)");
  data.valueAxis = QStringLiteral("RF GAIN");
  for (int channel : channels) data.stepLabels << QString::number(channel);
  data.series.push_back(Series(curves.Previous().rx, RX_COLOUR, true, {}));
  data.series.push_back(Series(curves.Current().rx, RX_COLOUR, false, QStringLiteral("RX")));
  return data;
}

QImage RenderCalibrationPlots(const CalibrationCurves& curves, const QString& caption, int width) {
  const LineChartData charts[] = {GsmApcChartData(curves), DcsApcChartData(curves),
                                  RxChartData(curves)};
  const int captionHeight = caption.isEmpty() ? 0 : 28;
  QImage image(width, captionHeight + CHART_HEIGHT * 3, QImage::Format_RGB32);
  image.fill(QColor(16, 16, 16));
  QPainter p(&image);
  if (!caption.isEmpty()) {
    p.setPen(QColor(220, 220, 220));
    p.drawText(QRect(0, 0, width, captionHeight), Qt::AlignCenter, caption);
  }
  for (int i = 0; i < 3; ++i) {
    PaintLineChart(p, QRect(0, captionHeight + i * CHART_HEIGHT, width, CHART_HEIGHT - 4),
                   charts[i]);
  }
  p.end();
  return image;
}

bool WriteCalibrationPlots(const QString& path, const CalibrationCurves& curves,
                           const QString& caption, QString* error) {
  const QImage image = RenderCalibrationPlots(curves, caption);
  if (image.save(path, "PNG")) return true;
  if (error) *error = QStringLiteral("cannot write %1").arg(path);
  return false;
}
