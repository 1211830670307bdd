// The line chart: its history scrolls by one point, its axes stay where they are, each series is
// drawn in its own colour, and a mouse drag zooms (in animated steps, or at once).
#include <gtest/gtest.h>

#include "framework/Chart.h"
#include "framework/Forms.h"
#include "framework/Strings.h"

namespace {

struct ChartFixture : ::testing::Test {
  TFormPtr<TForm> form{new TForm({.Border = TBorderStyle::Dialog})};
  TChart* chart = new TChart(form.get());
  ChartFixture() { chart->SetBounds(0, 0, 240, 120); }

  // A drag with the left button, as the user makes it.
  void Drag(POINT from, POINT to) {
    chart->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    chart->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((from.x + to.x) / 2, (from.y + to.y) / 2));
    chart->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    chart->Perform(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  }
  POINT At(double x, double y) const { return {chart->XToPixel(x), chart->ValueToY(y)}; }
  std::vector<double> Shown() const {
    TChartView v = chart->View();
    return {v.XMin, v.XMax, v.YMin, v.YMax};
  }
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

TEST(ChartZoom, AnAnimatedZoomPassesEvenStepsAndEndsOnItsTarget) {
  const TChartZoom whole, corner{0.5, 1, 0, 0.5};
  auto texts = [](const std::vector<TChartZoom>& steps) {
    std::vector<std::string> t;
    for (const TChartZoom& z : steps) t.push_back(Format("%g %g %g %g", z.Left, z.Right, z.Bottom, z.Top));
    return t;
  };
  EXPECT_EQ(texts(ZoomSteps(whole, corner, 1)), std::vector<std::string>{"0.5 1 0 0.5"});
  EXPECT_EQ(texts(ZoomSteps(whole, corner, 0)), std::vector<std::string>{"0.5 1 0 0.5"});
  EXPECT_EQ(texts(ZoomSteps(whole, corner, 4)),
            (std::vector<std::string>{"0.125 1 0 0.875", "0.25 1 0 0.75", "0.375 1 0 0.625", "0.5 1 0 0.5"}));
  EXPECT_EQ(texts(ZoomSteps(corner, whole, 2)), (std::vector<std::string>{"0.25 1 0 0.75", "0 1 0 1"}));
}

TEST_F(ChartFixture, ADragDownRightZoomsToItsRectangleAndADragBackShowsTheWhole) {
  chart->SetLeftAxis(0, 100);
  chart->AddSeries("", clRed).Fill(TChart::kHistory, 50);   // X from 0 to 49
  const std::vector<double> whole = {0, 49, 0, 100};
  for (int steps : {1, 3}) {
    chart->AnimatedZoom = true;
    chart->AnimatedZoomSteps = steps;
    ASSERT_EQ(Shown(), whole);
    Drag(At(10, 75), At(30, 25));
    EXPECT_TRUE(chart->Zoomed());
    std::vector<double> zoomed = Shown();
    const double expected[] = {10, 30, 25, 75};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(zoomed[i], expected[i], 0.6) << steps << " steps, edge " << i;
    RECT plot = chart->PlotRect();
    EXPECT_NEAR(chart->XToPixel(30), plot.right - 2, 1);   // the part fills the plot
    EXPECT_NEAR(chart->ValueToY(75), plot.top + 1, 1);

    Drag(At(15, 60), At(25, 40));   // a zoom inside the zoom
    zoomed = Shown();
    EXPECT_NEAR(zoomed[0], 15, 0.6);
    EXPECT_NEAR(zoomed[3], 60, 1);
    for (POINT end : {At(15.5, 59), At(40, 59), At(15.5, 20)}) {   // too short one way or the other: nothing
      Drag(At(15, 60), end);
      EXPECT_EQ(Shown(), zoomed);
    }
    chart->ZoomRect({plot.left + 20, plot.top + 20, plot.left + 22, plot.top + 60});   // too thin a part
    EXPECT_EQ(Shown(), zoomed);
    Drag(At(20, 45), At(17, 55));   // up and to the left
    EXPECT_FALSE(chart->Zoomed());
    EXPECT_EQ(Shown(), whole);
  }
}

TEST_F(ChartFixture, AZoomKeepsItsPlaceInTheHistoryAsItScrolls) {
  chart->SetLeftAxis(0, 100);
  TChartSeries& series = chart->AddSeries("", clRed);
  series.Fill(TChart::kHistory, 0);
  RECT plot = chart->PlotRect();
  int middleX = (plot.left + plot.right) / 2;
  chart->ZoomRect({middleX, plot.top, plot.right, plot.bottom});   // the newest half
  double width = chart->View().XMax - chart->View().XMin;
  for (int i = 0; i < 10; ++i) series.Scroll(80);
  EXPECT_EQ(chart->View().XMax, 59);
  EXPECT_DOUBLE_EQ(chart->View().XMax - chart->View().XMin, width);
  EXPECT_EQ((std::vector<double>{chart->View().YMin, chart->View().YMax}), (std::vector<double>{0, 100}));
  TBitmap picture = Picture();
  EXPECT_EQ(picture.Pixel(plot.right - 2, chart->ValueToY(80)), clRed);
}
