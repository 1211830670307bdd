#include "Chart.h"

#include <algorithm>
#include <cmath>

#include "Strings.h"

namespace {

// The margins around the plot: the left one holds the axis's numbers.
constexpr int kLeftMargin = 40;
constexpr int kOtherMargin = 6;
constexpr int kGridLines = 4;   // parts the grid cuts the left axis into
// The smallest part of the whole a zoom shows on either axis.
constexpr double kZoomMinimumPart = 1.0 / 32;
// Pixels far outside the plot are drawn at this distance (the clip cuts them anyway).
constexpr double kFarPixels = 16000;

int ToPixel(double offset) { return (int)std::lround(std::clamp(offset, -kFarPixels, kFarPixels)); }

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

std::vector<TChartZoom> ZoomSteps(const TChartZoom& from, const TChartZoom& to, int steps) {
  steps = std::max(1, steps);
  std::vector<TChartZoom> result;
  for (int i = 1; i < steps; ++i) {
    double t = (double)i / steps;
    auto mix = [t](double a, double b) { return a + (b - a) * t; };
    result.push_back({mix(from.Left, to.Left), mix(from.Right, to.Right), mix(from.Bottom, to.Bottom), mix(from.Top, to.Top)});
  }
  result.push_back(to);
  return result;
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

void TChart::PointsRange(double& first, double& last) const {
  bool any = false;
  first = last = 0;
  for (const auto& series : series_) {
    if (series->Count() == 0) continue;
    double oldest = series->XValue(0), newest = series->XValue(series->Count() - 1);
    first = any ? std::min(first, oldest) : oldest;
    last = any ? std::max(last, newest) : newest;
    any = true;
  }
}

TChartView TChart::View() const {
  double first, last;
  PointsRange(first, last);
  double width = last - first, height = leftMax_ - leftMin_;
  return {first + width * zoom_.Left, first + width * zoom_.Right, leftMin_ + height * zoom_.Bottom,
          leftMin_ + height * zoom_.Top};
}

// The frame takes the plot's outer pixels; values run from its bottom inner row to its top one.
int TChart::ValueToY(double value) const {
  RECT plot = PlotRect();
  TChartView view = View();
  double part = (std::clamp(value, leftMin_, leftMax_) - view.YMin) / (view.YMax - view.YMin);
  return plot.bottom - 2 - ToPixel(part * (plot.bottom - plot.top - 3));
}

// Points run from the plot's left inner column to its right one; a single X stands at the right.
int TChart::XToPixel(double x) const {
  RECT plot = PlotRect();
  TChartView view = View();
  double part = view.XMax > view.XMin ? (x - view.XMin) / (view.XMax - view.XMin) : 1.0;
  return plot.left + 1 + ToPixel(part * (plot.right - plot.left - 3));
}

void TChart::PaintContent(HDC dc) {
  RECT plot = PlotRect();
  PaintAxes(dc, plot);
  HRGN clip = CreateRectRgn(plot.left + 1, plot.top + 1, plot.right - 1, plot.bottom - 1);
  SelectClipRgn(dc, clip);
  for (const auto& series : series_) PaintSeries(dc, *series);
  SelectClipRgn(dc, nullptr);
  DeleteObject(clip);
  PaintDrag(dc);
}

void TChart::PaintAxes(HDC dc, const RECT& plot) {
  TChartView view = View();
  TCanvas canvas(dc);
  canvas.Font = Font();
  {
    TPenScope pen(dc, GridColor);
    for (int i = 1; i < kGridLines; ++i) {
      int y = ValueToY(view.YMin + (view.YMax - view.YMin) * i / kGridLines);
      MoveToEx(dc, plot.left + 1, y, nullptr);
      LineTo(dc, plot.right - 1, y);
    }
  }
  canvas.PenColor = AxisColor;
  canvas.FrameRect(plot);
  int textHeight = canvas.TextExtent("0").cy;
  for (double value : {view.YMin, view.YMax}) {
    int y = std::clamp(ValueToY(value) - textHeight / 2, 0, std::max(0, ClientHeight() - textHeight));
    RECT r{0, y, plot.left - 4, y + textHeight};
    canvas.TextRect(r, AxisText(value), DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  }
}

void TChart::PaintSeries(HDC dc, const TChartSeries& series) {
  int n = series.Count();
  if (n == 0) return;
  // Every series shares the bottom axis (XToPixel).
  std::vector<POINT> points(n);
  for (int i = 0; i < n; ++i) points[i] = {XToPixel(series.XValue(i)), ValueToY(series.YValue(i))};
  TPenScope pen(dc, series.Color);
  if (n == 1) {
    MoveToEx(dc, points[0].x, points[0].y, nullptr);
    LineTo(dc, points[0].x + 1, points[0].y);
  } else {
    Polyline(dc, points.data(), n);
    SetPixel(dc, points[n - 1].x, points[n - 1].y, ColorToRGB(series.Color));   // Polyline leaves the last pixel out
  }
}

// ---- zoom ----

void TChart::PaintDrag(HDC dc) {
  if (!dragging_) return;
  RECT band{std::min(dragStart_.x, dragEnd_.x), std::min(dragStart_.y, dragEnd_.y), std::max(dragStart_.x, dragEnd_.x),
            std::max(dragStart_.y, dragEnd_.y)};
  DrawFocusRect(dc, &band);
}

void TChart::ZoomRect(const RECT& r) {
  RECT plot = PlotRect();
  double width = plot.right - plot.left - 3, height = plot.bottom - plot.top - 3;
  auto alongX = [&](LONG x) { return std::clamp((x - (plot.left + 1)) / width, 0.0, 1.0); };
  auto alongY = [&](LONG y) { return std::clamp((plot.bottom - 2 - y) / height, 0.0, 1.0); };
  double left = alongX(std::min(r.left, r.right)), right = alongX(std::max(r.left, r.right));
  double bottom = alongY(std::max(r.top, r.bottom)), top = alongY(std::min(r.top, r.bottom));
  double shownWidth = zoom_.Right - zoom_.Left, shownHeight = zoom_.Top - zoom_.Bottom;
  TChartZoom target{zoom_.Left + shownWidth * left, zoom_.Left + shownWidth * right,
                    zoom_.Bottom + shownHeight * bottom, zoom_.Bottom + shownHeight * top};
  if (target.Right - target.Left < kZoomMinimumPart || target.Top - target.Bottom < kZoomMinimumPart) return;
  ZoomTo(target);
}

void TChart::UndoZoom() {
  if (Zoomed()) ZoomTo(TChartZoom{});
}

// Each step but the last is drawn at once; the last is drawn with the next paint.
void TChart::ZoomTo(const TChartZoom& target) {
  std::vector<TChartZoom> steps = ZoomSteps(zoom_, target, AnimatedZoom ? AnimatedZoomSteps : 1);
  for (size_t i = 0; i + 1 < steps.size(); ++i) {
    zoom_ = steps[i];
    Repaint();
  }
  zoom_ = target;
  Invalidate();
}

void TChart::EndDrag(POINT end) {
  int dx = end.x - dragStart_.x, dy = end.y - dragStart_.y;
  if (dx >= kZoomMinimumPixels && dy >= kZoomMinimumPixels) ZoomRect({dragStart_.x, dragStart_.y, end.x, end.y});
  else if (dx <= -kZoomMinimumPixels || dy <= -kZoomMinimumPixels) UndoZoom();
  Invalidate();   // the band goes
}

LRESULT TChart::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  POINT at{(short)LOWORD(lp), (short)HIWORD(lp)};
  switch (msg) {
    case WM_LBUTTONDOWN: {
      RECT plot = PlotRect();
      if (!PtInRect(&plot, at)) break;
      dragging_ = true;
      dragStart_ = dragEnd_ = at;
      SetCapture(Handle());
      break;
    }
    case WM_MOUSEMOVE:
      if (dragging_) {
        dragEnd_ = at;
        Invalidate();
      }
      break;
    case WM_LBUTTONUP:
      if (dragging_) {
        dragging_ = false;   // before the capture goes: that would end the drag unfinished
        dragEnd_ = at;
        if (GetCapture() == Handle()) ReleaseCapture();
        EndDrag(at);
      }
      break;
    case WM_CAPTURECHANGED:   // taken away in the middle of a drag: the drag ends unfinished
      if (dragging_) {
        dragging_ = false;
        Invalidate();
      }
      break;
  }
  return TControl::WndProc(msg, wp, lp);
}
