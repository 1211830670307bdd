// The line chart: its history scrolls by one point, its axes stay where they are, and each
// series is drawn in its own colour.
#include <gtest/gtest.h>

#include "framework/Chart.h"
#include "framework/Forms.h"

namespace {

struct ChartFixture : ::testing::Test {
  TFormPtr<TForm> form{new TForm({.Border = TBorderStyle::Dialog})};
  TChart* chart = new TChart(form.get());
  ChartFixture() { chart->SetBounds(0, 0, 240, 120); }

  // The chart as it paints itself.
  TBitmap Picture() {
    TBitmap picture(chart->ClientWidth(), chart->ClientHeight());
    chart->Perform(WM_PRINTCLIENT, (WPARAM)TBitmapDC(picture).Handle(), PRF_CLIENT);
    GdiFlush();
    return picture;
  }
};

}  // namespace

TEST(ChartSeries, ScrollingDropsTheOldestPointAndKeepsTheStep) {
  TChartSeries series("PM", clRed);
  series.Fill(TChart::kHistory, 0);
  for (double y : {10.0, 20.0, 30.0}) series.Scroll(y);
  ASSERT_EQ(series.Count(), TChart::kHistory);
  EXPECT_EQ((std::vector<double>{series.XValue(0), series.XValue(49), series.YValue(46), series.YValue(47), series.YValue(49)}),
            (std::vector<double>{3, 52, 0, 10, 30}));
  for (int i = 0; i < TChart::kHistory; ++i) series.Scroll(5);
  EXPECT_EQ(series.YValue(0), 5) << "the first points have scrolled out";
}

TEST_F(ChartFixture, EachSeriesIsDrawnInItsColourAtItsValue) {
  chart->SetLeftAxis(0, 100);
  chart->AddSeries("low", clRed).Fill(TChart::kHistory, 25);
  chart->AddSeries("high", clBlue).Fill(TChart::kHistory, 75);
  chart->Series(0).Scroll(100);   // the newest point only, at the right end
  chart->Series(1).Scroll(75);

  TBitmap picture = Picture();
  RECT plot = chart->PlotRect();
  int middle = (plot.left + plot.right) / 2;
  EXPECT_EQ(picture.Pixel(middle, chart->ValueToY(25)), clRed);
  EXPECT_EQ(picture.Pixel(middle, chart->ValueToY(75)), clBlue);
  EXPECT_EQ(picture.Pixel(middle, chart->ValueToY(60)), clWhite);
  EXPECT_EQ(picture.Pixel(plot.right - 2, chart->ValueToY(100)), clRed);
  EXPECT_EQ(picture.Pixel(plot.left + 1, chart->ValueToY(25)), clRed);
}

TEST_F(ChartFixture, AxesStayFixedWhateverTheValues) {
  chart->SetLeftAxis(0, 100);
  TChartSeries& series = chart->AddSeries("", clRed);
  series.Fill(TChart::kHistory, 0);
  TBitmap before = Picture();
  RECT plot = chart->PlotRect();
  for (int i = 0; i < 10; ++i) series.Scroll(500);   // far above the axis
  TBitmap after = Picture();

  EXPECT_EQ(chart->LeftMaximum(), 100);
  EXPECT_EQ(after.Pixel(plot.right - 2, plot.top + 1), clRed) << "drawn at the top of the axis";
  int changed = 0, inked = 0;   // the axis's numbers and the frame are where they were
  for (int y = 0; y < before.Height(); ++y) {
    for (int x = 0; x <= plot.left; ++x) {
      changed += before.Pixel(x, y) != after.Pixel(x, y);
      inked += x < plot.left && before.Pixel(x, y) != clWhite;
    }
    changed += before.Pixel(plot.right - 1, y) != after.Pixel(plot.right - 1, y);
  }
  EXPECT_EQ(changed, 0);
  EXPECT_GT(inked, 0) << "the axis's numbers";
  EXPECT_NE(before.Pixel(plot.left, plot.top), clWhite);
}
