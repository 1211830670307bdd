// A line chart: a few series of points, each a line in its own colour, over a left axis whose
// range the page fixes. The bottom axis spans the points shown; the history scrolls from the
// right, one point in and the oldest out. No legend is drawn (the page labels the colours).
// Painting goes through the control's memory bitmap, so a redraw every second does not flicker.
//
// How to use:
//   auto* chart = new TChart(page);
//   chart->SetBounds(...);
//   chart->SetLeftAxis(0, 100);
//   TChartSeries& cpu = chart->AddSeries("CPU", clLime);
//   cpu.Fill(TChart::kHistory, 0);          // 50 points at 0
//   cpu.Scroll(load); chart->Invalidate();  // on every tick
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

inline constexpr TColor clLime = 0x00FF00;

// One line of the chart: its points in the order of X.
class TChartSeries {
 public:
  TChartSeries(const std::string& title, TColor color) : Title(title), Color(color) {}
  std::string Title;
  TColor Color;

  int Count() const { return (int)points_.size(); }
  double XValue(int index) const { return points_.at(index).X; }
  double YValue(int index) const { return points_.at(index).Y; }
  void Clear() { points_.clear(); }
  void AddXY(double x, double y) { points_.push_back({x, y}); }
  void Delete(int index);
  // count points at X 0, 1, 2, ... all of value y.
  void Fill(int count, double y);
  // Drops the oldest point and appends y one step (the distance of the first two points) after
  // the newest, so the series keeps its length. A series of fewer than two points only grows.
  void Scroll(double y);

 private:
  struct TPoint {
    double X, Y;
  };
  std::deque<TPoint> points_;
};

class TChart : public TControl {
 public:
  // The points of history a scrolling chart keeps.
  static constexpr int kHistory = 50;

  explicit TChart(TControl* parent);
  ~TChart() override;

  TChartSeries& AddSeries(const std::string& title, TColor color);
  int SeriesCount() const { return (int)series_.size(); }
  TChartSeries& Series(int index) { return *series_.at(index); }

  // The left axis's fixed range; points outside it are drawn at its edge.
  void SetLeftAxis(double minimum, double maximum);
  double LeftMinimum() const { return leftMin_; }
  double LeftMaximum() const { return leftMax_; }

  TColor AxisColor = clGray;
  TColor GridColor = 0xE0E0E0;

  // Where the lines are drawn, in client coordinates, and where a value lands in it.
  RECT PlotRect() const;
  int ValueToY(double value) const;

 protected:
  void PaintContent(HDC dc) override;

 private:
  void PaintAxes(HDC dc, const RECT& plot);
  void PaintSeries(HDC dc, const RECT& plot, const TChartSeries& series);
  std::vector<std::unique_ptr<TChartSeries>> series_;
  double leftMin_ = 0;
  double leftMax_ = 100;
};
