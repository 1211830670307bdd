#include "Chart.h"

#include <algorithm>
#include <cmath>

#include "Strings.h"

namespace {

// The margins around the plot: the left one holds the axis's numbers.
constexpr int kLeftMargin = 40;
constexpr int kOtherMargin = 6;
constexpr int kGridLines = 4;   // parts the grid cuts the left axis into

std::string AxisText(double value) { return Format("%d", (int)Round(value)); }

// A pen of one colour, deleted when it goes out of scope.
class TPenScope {
 public:
  TPenScope(HDC dc, TColor color) : dc_(dc), pen_(CreatePen(PS_SOLID, 1, ColorToRGB(color))) {
    old_ = SelectObject(dc_, pen_);
  }
  ~TPenScope() {
    SelectObject(dc_, old_);
    DeleteObject(pen_);
  }
  TPenScope(const TPenScope&) = delete;
  TPenScope& operator=(const TPenScope&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HGDIOBJ old_;
};

}  // namespace

// ---- TChartSeries ----

void TChartSeries::Delete(int index) {
  if (index >= 0 && index < Count()) points_.erase(points_.begin() + index);
}

void TChartSeries::Fill(int count, double y) {
  points_.clear();
  for (int i = 0; i < count; ++i) points_.push_back({(double)i, y});
}

void TChartSeries::Scroll(double y) {
  if (points_.size() < 2) {
    AddXY(points_.empty() ? 0 : points_.back().X + 1, y);
    return;
  }
  double step = points_[1].X - points_[0].X;
  points_.pop_front();
  AddXY(points_.back().X + step, y);
}

// ---- TChart ----

TChart::TChart(TControl* parent) : TControl(parent, {.Width = 300, .Height = 150}) { SetColor(clWhite); }

TChart::~TChart() = default;

TChartSeries& TChart::AddSeries(const std::string& title, TColor color) {
  series_.push_back(std::make_unique<TChartSeries>(title, color));
  Invalidate();
  return *series_.back();
}

void TChart::SetLeftAxis(double minimum, double maximum) {
  leftMin_ = minimum;
  leftMax_ = maximum > minimum ? maximum : minimum + 1;
  Invalidate();
}

RECT TChart::PlotRect() const {
  RECT r{kLeftMargin, kOtherMargin, ClientWidth() - kOtherMargin, ClientHeight() - kOtherMargin};
  r.right = std::max(r.right, r.left + 4);
  r.bottom = std::max(r.bottom, r.top + 4);
  return r;
}

// The frame takes the plot's outer pixels; values run from its bottom inner row to its top one.
int TChart::ValueToY(double value) const {
  RECT plot = PlotRect();
  double part = (std::clamp(value, leftMin_, leftMax_) - leftMin_) / (leftMax_ - leftMin_);
  return plot.bottom - 2 - (int)std::lround(part * (plot.bottom - plot.top - 3));
}

void TChart::PaintContent(HDC dc) {
  RECT plot = PlotRect();
  PaintAxes(dc, plot);
  HRGN clip = CreateRectRgn(plot.left + 1, plot.top + 1, plot.right - 1, plot.bottom - 1);
  SelectClipRgn(dc, clip);
  for (const auto& series : series_) PaintSeries(dc, plot, *series);
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);
}

void TChart::PaintAxes(HDC dc, const RECT& plot) {
  TCanvas canvas(dc);
  canvas.Font = Font();
  {
    TPenScope pen(dc, GridColor);
    for (int i = 1; i < kGridLines; ++i) {
      int y = ValueToY(leftMin_ + (leftMax_ - leftMin_) * i / kGridLines);
      MoveToEx(dc, plot.left + 1, y, nullptr);
      LineTo(dc, plot.right - 1, y);
    }
  }
  canvas.PenColor = AxisColor;
  canvas.FrameRect(plot);
  int textHeight = canvas.TextExtent("0").cy;
  for (double value : {leftMin_, leftMax_}) {
    int y = std::clamp(ValueToY(value) - textHeight / 2, 0, std::max(0, ClientHeight() - textHeight));
    RECT r{0, y, plot.left - 4, y + textHeight};
    canvas.TextRect(r, AxisText(value), DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  }
}

void TChart::PaintSeries(HDC dc, const RECT& plot, const TChartSeries& series) {
  int n = series.Count();
  if (n == 0) return;
  // Every series shares the bottom axis: from the oldest X shown to the newest.
  double first = series.XValue(0), last = series.XValue(n - 1);
  for (const auto& other : series_) {
    if (other->Count() == 0) continue;
    first = std::min(first, other->XValue(0));
    last = std::max(last, other->XValue(other->Count() - 1));
  }
  int width = plot.right - plot.left - 3;
  std::vector<POINT> points(n);
  for (int i = 0; i < n; ++i) {
    double part = last > first ? (series.XValue(i) - first) / (last - first) : 1.0;
    points[i] = {plot.left + 1 + (int)std::lround(part * width), ValueToY(series.YValue(i))};
  }
  TPenScope pen(dc, series.Color);
  if (n == 1) {
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    LineTo(dc, points[0].x + 1, points[0].y);
  } else {
    Polyline(dc, points.data(), n);
    SetPixel(dc, points[n - 1].x, points[n - 1].y, ColorToRGB(series.Color));   // Polyline leaves the last pixel out
  }
}
