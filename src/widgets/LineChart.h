#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

class QPainter;

// What a line chart shows: series of values plotted one step apart, newest last. Each series
// has its colour and its upper and lower limit; the value axis always spans every series'
// limits and stretches to take in values beyond them.
struct ChartSeries {
  QColor colour;
  double upper = 0.0;
  double lower = 0.0;
  bool faint = false;  // drawn thin and pale, behind the others
  QString name;        // shown in the legend when set
  std::vector<double> points;
};

struct LineChartData {
  static constexpr size_t MAX_POINTS = 4096;  // per series; older points are dropped

  QString title;
  QString valueAxis;
  QStringList stepLabels;    // labels of the steps (x axis), when the steps have names
  size_t visiblePoints = 0;  // newest points shown; 0 = all
  std::vector<ChartSeries> series;
};

// Draws the chart into rect; used by the widget and for PNG files rendered offscreen.
void PaintLineChart(QPainter& painter, const QRect& rect, const LineChartData& data);

// The line chart control: one or more series, a point appended and the chart redrawn.
class LineChart : public QWidget {
  Q_OBJECT

 public:
  explicit LineChart(QWidget* parent = nullptr);

  int AddSeries(const QColor& colour, double upper, double lower);  // returns its index
  void AppendPoint(int series, double value);                       // and redraws
  void ClearSeries(int series);
  ChartSeries& Series(int series) { return data_.series.at(static_cast<size_t>(series)); }
  int SeriesCount() const { return static_cast<int>(data_.series.size()); }
  LineChartData& Data() { return data_; }  // titles, labels, window; call update() after
  const LineChartData& Data() const { return data_; }

  QSize sizeHint() const override { return {320, 180}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Describe();  // accessible name and value: what the chart shows

  LineChartData data_;
};
