#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>

#include "support/GuiHelpers.h"
#include "widgets/ColourLabel.h"
#include "widgets/LineChart.h"

namespace {

TEST(ColourLabel, ShowsItsTextAndFlashesEvery500Ms) {
  ColourLabel label;
  label.resize(200, 30);
  label.SetText(QStringLiteral("Calibration Success.... "));
  label.SetTextColour(QColor(0, 0, 0));
  label.SetBackgroundColour(QColor(0, 255, 64));
  label.SetFont(QString(), 12, true);
  label.show();
  EXPECT_EQ(label.accessibleName(), QStringLiteral("Calibration Success.... "));
  EXPECT_EQ(label.font().pixelSize(), 12);
  EXPECT_TRUE(label.font().bold());

  QImage shot = label.grab().toImage();
  EXPECT_EQ(shot.pixelColor(1, 1), QColor(0, 255, 64));

  label.SetFlashing(true);
  std::vector<bool> seen;
  testsupport::ProcessUntil(
      [&] {
        if (seen.empty() || seen.back() != label.TextShown()) seen.push_back(label.TextShown());
        return seen.size() >= 3;
      },
      2000);
  EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
  label.SetFlashing(false);
  EXPECT_TRUE(label.TextShown());
  EXPECT_FALSE(label.Flashing());
}

TEST(LineChart, AppendsPointsWithinItsCapacityAndDrawsEachSeries) {
  LineChart chart;
  const int ramp = chart.AddSeries(QColor(0, 255, 0), 10, 0);
  for (int i = 0; i < 32; ++i) chart.AppendPoint(ramp, i < 16 ? i : 31 - i);
  EXPECT_EQ(chart.Series(ramp).points.size(), 32u);
  EXPECT_FALSE(chart.accessibleDescription().isEmpty());

  QImage image(320, 180, QImage::Format_RGB32);
  QPainter p(&image);
  PaintLineChart(p, image.rect(), chart.Data());
  p.end();
  int green = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).green() > 200 && image.pixelColor(x, y).red() < 60) ++green;
  EXPECT_GT(green, 100) << "the series is not drawn";

  for (size_t i = 0; i < LineChartData::MAX_POINTS + 10; ++i) chart.AppendPoint(ramp, 1.0);
  EXPECT_EQ(chart.Series(ramp).points.size(), LineChartData::MAX_POINTS);
  chart.AppendPoint(7, 1.0);  // no such series: ignored
  chart.ClearSeries(ramp);
  EXPECT_TRUE(chart.Series(ramp).points.empty());
}

}  // namespace
