#include "widgets/LineChart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

struct Span {
  double low;
  double high;
};

// The newest points of a series that the window shows.
std::pair<size_t, size_t> Window(const ChartSeries& s, size_t visible) {
  const size_t n = s.points.size();
  const size_t first = (visible > 0 && n > visible) ? n - visible : 0;
  return {first, n};
}

Span ValueSpan(const LineChartData& data) {
  bool any = false;
  Span span{0.0, 0.0};
  auto take = [&](double v) {
    if (!std::isfinite(v)) return;
    if (!any) span = {v, v};
    span.low = std::min(span.low, v);
    span.high = std::max(span.high, v);
    any = true;
  };
  for (const auto& s : data.series) {
    take(s.upper);
    take(s.lower);
    const auto [first, last] = Window(s, data.visiblePoints);
    for (size_t i = first; i < last; ++i) take(s.points[i]);
  }
  if (span.high - span.low < 1e-9) {
    span.low -= 1.0;
    span.high += 1.0;
  }
  return span;
}

size_t StepCount(const LineChartData& data) {
  size_t steps = static_cast<size_t>(data.stepLabels.size());
  for (const auto& s : data.series) {
    const auto [first, last] = Window(s, data.visiblePoints);
    steps = std::max(steps, last - first);
  }
  return std::max<size_t>(steps, 2);
}

}  // namespace

void PaintLineChart(QPainter& p, const QRect& rect, const LineChartData& data) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(rect, QColor(16, 16, 16));
  const QFontMetrics fm = p.fontMetrics();
  const int top = rect.top() + (data.title.isEmpty() ? 8 : fm.height() + 8);
  const int bottom = rect.bottom() - (data.stepLabels.isEmpty() ? 8 : fm.height() + 8);
  const int left = rect.left() + fm.horizontalAdvance(QStringLiteral("-0000.0")) + 8;
  int widest = 0;
  for (const auto& label : data.stepLabels) widest = std::max(widest, fm.horizontalAdvance(label));
  // Room for half the last step label beyond the plot's right edge.
  const int right = rect.right() - std::max(10, widest / 2 + 4);
  if (right - left < 20 || bottom - top < 20) {
    p.restore();
    return;
  }
  const QRect plot(QPoint(left, top), QPoint(right, bottom));
  const Span span = ValueSpan(data);
  const size_t steps = StepCount(data);
  auto yOf = [&](double v) {
    return plot.bottom() - (v - span.low) / (span.high - span.low) * plot.height();
  };
  auto xOf = [&](size_t i) {
    return plot.left() + static_cast<double>(i) * plot.width() / static_cast<double>(steps - 1);
  };

  // Grid with five value ticks.
  p.setPen(QColor(70, 70, 70));
  p.drawRect(plot);
  p.setPen(QColor(200, 200, 200));
  for (int k = 0; k <= 4; ++k) {
    const double v = span.low + (span.high - span.low) * k / 4.0;
    const int y = static_cast<int>(std::lround(yOf(v)));
    p.setPen(QColor(50, 50, 50));
    p.drawLine(plot.left(), y, plot.right(), y);
    p.setPen(QColor(200, 200, 200));
    p.drawText(QRect(rect.left(), y - fm.height() / 2, left - rect.left() - 4, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'g', 4));
  }
  if (!data.title.isEmpty()) {
    p.drawText(QRect(rect.left(), rect.top() + 2, rect.width(), fm.height()), Qt::AlignCenter,
               data.title);
  }
  if (!data.valueAxis.isEmpty()) {
    p.drawText(QRect(plot.left() + 4, plot.top() + 2, plot.width(), fm.height()), Qt::AlignLeft,
               data.valueAxis);
  }
  // Step labels, every stride-th one so neighbours never overlap.
  const double room = plot.width() / static_cast<double>(steps - 1);
  const qsizetype stride =
      std::max<qsizetype>(1, static_cast<qsizetype>(std::ceil((widest + 6) / room)));
  for (qsizetype i = 0; i < data.stepLabels.size(); i += stride) {
    const int x = static_cast<int>(std::lround(xOf(static_cast<size_t>(i))));
    p.drawText(QRect(x - widest / 2 - 3, plot.bottom() + 4, widest + 6, fm.height()),
               Qt::AlignCenter, data.stepLabels[i]);
  }

  // Limits as dashed lines, faint series first, then the others.
  for (const auto& s : data.series) {
    QPen limit(s.colour.darker(180), 1, Qt::DashLine);
    p.setPen(limit);
    for (double v : {s.upper, s.lower}) {
      if (!std::isfinite(v)) continue;  // a series without limits
      const double y = yOf(v);
      p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
  }
  for (const bool faintPass : {true, false}) {
    for (const auto& s : data.series) {
      if (s.faint != faintPass) continue;
      QColor c = s.colour;
      if (s.faint) c.setAlpha(90);
      p.setPen(QPen(c, s.faint ? 1.0 : 2.0));
      const auto [first, last] = Window(s, data.visiblePoints);
      QPainterPath path;
      bool open = false;
      for (size_t i = first; i < last; ++i) {
        const double v = s.points[i];
        if (!std::isfinite(v)) {
          open = false;
          continue;
        }
        const QPointF pt(xOf(i - first), yOf(v));
        if (open) {
          path.lineTo(pt);
        } else {
          path.moveTo(pt);
          open = true;
        }
      }
      p.drawPath(path);
    }
  }

  // Legend of the named series.
  int lx = plot.right() - 4;
  for (auto it = data.series.rbegin(); it != data.series.rend(); ++it) {
    if (it->name.isEmpty() || it->faint) continue;
    const int w = fm.horizontalAdvance(it->name);
    lx -= w;
    p.setPen(it->colour);
    p.drawText(QRect(lx, plot.top() + 2, w, fm.height()), Qt::AlignLeft, it->name);
    lx -= 10;
  }
  p.restore();
}

LineChart::LineChart(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 80);
  Describe();
}

int LineChart::AddSeries(const QColor& colour, double upper, double lower) {
  ChartSeries s;
  s.colour = colour;
  s.upper = upper;
  s.lower = lower;
  data_.series.push_back(std::move(s));
  update();
  return static_cast<int>(data_.series.size()) - 1;
}

void LineChart::AppendPoint(int series, double value) {
  if (series < 0 || series >= SeriesCount()) return;
  auto& points = data_.series[static_cast<size_t>(series)].points;
  if (points.size() >= LineChartData::MAX_POINTS) points.erase(points.begin());
  points.push_back(value);
  Describe();
  update();
}

void LineChart::ClearSeries(int series) {
  if (series < 0 || series >= SeriesCount()) return;
  data_.series[static_cast<size_t>(series)].points.clear();
  Describe();
  update();
}

void LineChart::Describe() {
  // Kept short and cheap: it is refreshed on every point.
  setAccessibleName(data_.title.isEmpty() ? QStringLiteral("line chart") : data_.title);
  QStringList values;
  for (const auto& s : data_.series) {
    if (s.faint) continue;
    QString text = s.name.isEmpty() ? QString() : s.name + QStringLiteral(": ");
    text += QStringLiteral("%1 points").arg(s.points.size());
    if (!s.points.empty()) text += QStringLiteral(", last %1").arg(s.points.back(), 0, 'g', 4);
    values << text;
  }
  setAccessibleDescription(values.join(QStringLiteral("; ")));
}

void LineChart::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintLineChart(p, rect(), data_);
}
