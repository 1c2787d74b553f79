#include "calibration/CalibrationCurves.h"

#include <gtest/gtest.h>

#include <cmath>

// What the calibration window plots, as the result lists receive it.
namespace {

TEST(CalibrationCurves, CellsOfTheListsBecomePointsAndAnythingElseIsLeftOut) {
  CalibrationCurves curves;
  EXPECT_TRUE(curves.Current().Empty());
  curves.SetCell(CalList::GsmApc, 0, 1, "568");
  curves.SetCell(CalList::GsmApc, 14, 3, "353");
  curves.SetCell(CalList::DcsApc, 15, 2, "346");
  curves.SetCell(CalList::RxChannel, 16, 1, "-8");
  EXPECT_EQ(curves.Current().gsm[0][0], 568);
  EXPECT_EQ(curves.Current().gsm[2][14], 353);
  EXPECT_EQ(curves.Current().dcs[1][15], 346);
  EXPECT_EQ(curves.Current().rx[16], -8);

  struct Bad {
    CalList list;
    int row;
    int column;
    const char* text;
  };
  const Bad bad[] = {
      {CalList::GsmApc, 15, 1, "1"},   {CalList::GsmApc, -1, 1, "1"},
      {CalList::GsmApc, 3, 0, "1"},    {CalList::GsmApc, 3, 4, "1"},
      {CalList::DcsApc, 16, 1, "1"},   {CalList::RxChannel, 17, 1, "1"},
      {CalList::RxChannel, 3, 2, "1"}, {CalList::GsmApc, 3, 1, ""},
      {CalList::GsmApc, 3, 1, "12x"},  {CalList::GsmApc, 3, 1, "99999999999999999999"},
  };
  for (const Bad& b : bad) curves.SetCell(b.list, b.row, b.column, b.text);
  EXPECT_TRUE(std::isnan(curves.Current().gsm[0][3]));
  int points = 0;
  for (const auto& band : curves.Current().gsm)
    for (double v : band) points += std::isfinite(v);
  for (const auto& band : curves.Current().dcs)
    for (double v : band) points += std::isfinite(v);
  for (double v : curves.Current().rx) points += std::isfinite(v);
  EXPECT_EQ(points, 4);
}

TEST(CalibrationCurves, ANewHandsetPutsTheLastOneWithValuesBehind) {
  CalibrationCurves curves;
  curves.SetCell(CalList::RxChannel, 0, 1, "10");
  curves.NextHandset();
  EXPECT_EQ(curves.Previous().rx[0], 10);
  EXPECT_TRUE(curves.Current().Empty());
  // A handset that failed before any list was filled leaves the last good one behind.
  curves.NextHandset();
  EXPECT_EQ(curves.Previous().rx[0], 10);
  curves.SetCell(CalList::RxChannel, 0, 1, "6");
  curves.NextHandset();
  EXPECT_EQ(curves.Previous().rx[0], 6);
}

}  // namespace
