// A line chart: a few series of points, each a line in its own colour, over a left axis whose
// range the page fixes. The bottom axis spans the points shown; the history scrolls from the
// right, one point in and the oldest out. No legend is drawn (the page labels the colours).
// Painting goes through the control's memory bitmap, so a redraw every second does not flicker.
//
// The user zooms with the left mouse button: a rectangle dragged over the plot from its top left
// towards its bottom right shows that part of the chart; a drag up or to the left shows the whole
// chart again. A zoom keeps its place in the history as it scrolls (a zoom on the newest tenth
// goes on showing the newest tenth). With AnimatedZoom the chart moves to the new part in
// AnimatedZoomSteps drawn steps; one step goes there at once.
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

// The part of the chart shown, as parts of the whole: along the bottom axis from Left to Right,
// along the left axis from Bottom to Top, each from 0 (the start of the axis) to 1 (its end).
struct TChartZoom {
  double Left = 0, Right = 1, Bottom = 0, Top = 1;
  bool operator==(const TChartZoom&) const = default;
  bool Whole() const { return *this == TChartZoom{}; }
};

// The zooms an animated change from one zoom to another shows, evenly spaced, the last one the
// target: steps of them (at least one).
std::vector<TChartZoom> ZoomSteps(const TChartZoom& from, const TChartZoom& to, int steps);

// The values the plot shows: X along the bottom axis, Y along the left axis.
struct TChartView {
  double XMin, XMax, YMin, YMax;
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

  // ---- zoom ----
  // Off: a zoom goes to its part at once. On: it is drawn in AnimatedZoomSteps steps, the last
  // one the part itself (so one step is as quick as no animation).
  bool AnimatedZoom = false;
  int AnimatedZoomSteps = 8;
  // A zoom takes a drag at least this many pixels right and down; a drag this far up or left
  // shows the whole again; a shorter one does nothing.
  static constexpr int kZoomMinimumPixels = 10;
  const TChartZoom& Zoom() const { return zoom_; }
  bool Zoomed() const { return !zoom_.Whole(); }
  // Shows the part of the plot under the rectangle (client coordinates) of what is shown now.
  void ZoomRect(const RECT& r);
  // Shows the whole chart again.
  void UndoZoom();
  // The values shown now: the whole left axis and every point, or the part zoomed to.
  TChartView View() const;

  // Where the lines are drawn, in client coordinates, and where a value (Y) or an X lands in it.
  RECT PlotRect() const;
  int ValueToY(double value) const;
  int XToPixel(double x) const;

 protected:
  void PaintContent(HDC dc) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void PaintAxes(HDC dc, const RECT& plot);
  void PaintSeries(HDC dc, const TChartSeries& series);
  void PaintDrag(HDC dc);
  void ZoomTo(const TChartZoom& target);
  void EndDrag(POINT end);
  // From the oldest X of every series to the newest.
  void PointsRange(double& first, double& last) const;
  std::vector<std::unique_ptr<TChartSeries>> series_;
  double leftMin_ = 0;
  double leftMax_ = 100;
  TChartZoom zoom_;
  bool dragging_ = false;
  POINT dragStart_{}, dragEnd_{};
};
