// Charts are drawn in a frame: a plot area inside fixed margins (tick labels on the left and
// below, axis titles beyond them), scales from the data onto that area, and round ticks that
// widen the data range to the next tick on both sides so no mark sits on the frame's edge.
#include "report/svg.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "report/html.h"
#include "support/number_text.h"

namespace keyin::svg {
namespace {

constexpr double kLeft = 58, kRight = 16, kTop = 14, kBottom = 46, kLegendLine = 20;

std::u16string Ascii(const std::string& text) { return {text.begin(), text.end()}; }

std::u16string_view AnchorName(Anchor anchor) {
  switch (anchor) {
    case Anchor::kMiddle:
      return u"middle";
    case Anchor::kEnd:
      return u"end";
    case Anchor::kStart:
      break;
  }
  return u"start";
}

// Where the data lands: the plot area and the scales onto it.
struct Frame {
  double left = 0, top = 0, right = 0, bottom = 0;
  Scale x, y;
};

std::u16string TickLabel(const Axis& axis, double value) {
  return axis.label ? axis.label(value) : FormatNumber(value);
}

// Draws the gridlines, axes, tick labels and titles of a chart with two numeric axes.
Frame DrawAxes(Canvas& canvas, double width, double height, double top, const Axis& x_axis,
               const Axis& y_axis, int x_count, int y_count) {
  const std::vector<double> x_ticks = Ticks(x_axis.low, x_axis.high, x_count);
  const std::vector<double> y_ticks = Ticks(y_axis.low, y_axis.high, y_count);
  Frame frame;
  frame.left = kLeft;
  frame.top = top;
  frame.right = width - kRight;
  frame.bottom = height - kBottom;
  frame.x = {x_ticks.front(), x_ticks.back(), frame.left, frame.right};
  frame.y = {y_ticks.front(), y_ticks.back(), frame.bottom, frame.top};
  for (const double tick : y_ticks) {
    const double y = frame.y(tick);
    canvas.Line(frame.left, y, frame.right, y, u"grid");
    canvas.Text(frame.left - 6, y + 4, TickLabel(y_axis, tick), u"tick", Anchor::kEnd);
  }
  for (const double tick : x_ticks) {
    const double x = frame.x(tick);
    canvas.Line(x, frame.bottom, x, frame.bottom + 4, u"axis");
    canvas.Text(x, frame.bottom + 16, TickLabel(x_axis, tick), u"tick", Anchor::kMiddle);
  }
  canvas.Line(frame.left, frame.bottom, frame.right, frame.bottom, u"axis");
  canvas.Line(frame.left, frame.top, frame.left, frame.bottom, u"axis");
  canvas.Text((frame.left + frame.right) / 2, height - 8, x_axis.title, u"axis-title",
              Anchor::kMiddle);
  canvas.Text(14, (frame.top + frame.bottom) / 2, y_axis.title, u"axis-title", Anchor::kMiddle,
              -90);
  return frame;
}

// The data range of an axis widened to cover `values`.
Axis Covering(Axis axis, const std::vector<double>& values) {
  for (const double value : values) {
    if (!std::isfinite(value)) continue;
    axis.low = std::min(axis.low, value);
    axis.high = std::max(axis.high, value);
  }
  return axis;
}

}  // namespace

double Scale::operator()(double value) const {
  if (domain_high == domain_low) return (range_low + range_high) / 2;
  return range_low + (value - domain_low) / (domain_high - domain_low) * (range_high - range_low);
}

std::vector<double> Ticks(double low, double high, int count) {
  if (!std::isfinite(low) || !std::isfinite(high)) low = high = 0;
  if (low > high) std::swap(low, high);
  count = std::max(count, 1);
  if (high == low) {
    const double half = low == 0 ? 1 : std::fabs(low) / 2;
    low -= half;
    high += half;
  }
  const double raw = (high - low) / count;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double residual = raw / magnitude;
  const double step = magnitude * (residual > 5 ? 10 : residual > 2 ? 5 : residual > 1 ? 2 : 1);
  const double first = std::floor(low / step);
  const double last = std::ceil(high / step);
  std::vector<double> ticks;
  for (double i = first; i <= last; ++i) {
    // Written from the step's own digits, so 0.1 * 3 gives 0.3 and not 0.30000000000000004.
    ticks.push_back(LeadingNumber(FormatNumber(i * step)));
  }
  return ticks;
}

std::u16string Coordinate(double value) {
  if (!std::isfinite(value)) return u"0";
  const long long tenths = std::llround(value * 10);
  const long long magnitude = tenths < 0 ? -tenths : tenths;
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(magnitude / 10);
  if (magnitude % 10 != 0) text += "." + std::to_string(magnitude % 10);
  return Ascii(text);
}

Canvas::Canvas(double width, double height, std::u16string_view title) {
  text_ = u"<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" role=\"img\" viewBox=\"0 0 " +
          Coordinate(width) + u" " + Coordinate(height) + u"\" width=\"" + Coordinate(width) +
          u"\" height=\"" + Coordinate(height) + u"\"><title>" + html::EscapeText(title) +
          u"</title>\n";
}

void Canvas::Line(double x1, double y1, double x2, double y2, std::u16string_view css_class) {
  text_ += u"<line x1=\"" + Coordinate(x1) + u"\" y1=\"" + Coordinate(y1) + u"\" x2=\"" +
           Coordinate(x2) + u"\" y2=\"" + Coordinate(y2) + u"\" class=\"" +
           html::EscapeAttribute(css_class) + u"\"/>\n";
}

void Canvas::Rect(double x, double y, double width, double height, std::u16string_view css_class,
                  std::u16string_view tooltip) {
  text_ += u"<rect x=\"" + Coordinate(x) + u"\" y=\"" + Coordinate(y) + u"\" width=\"" +
           Coordinate(width) + u"\" height=\"" + Coordinate(height) + u"\" class=\"" +
           html::EscapeAttribute(css_class) + u"\"";
  if (tooltip.empty()) {
    text_ += u"/>\n";
  } else {
    text_ += u"><title>" + html::EscapeText(tooltip) + u"</title></rect>\n";
  }
}

void Canvas::Polyline(const std::vector<std::pair<double, double>>& points,
                      std::u16string_view css_class) {
  text_ += u"<polyline points=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) text_ += u' ';
    text_ += Coordinate(points[i].first) + u"," + Coordinate(points[i].second);
  }
  text_ += u"\" class=\"" + html::EscapeAttribute(css_class) + u"\"/>\n";
}

void Canvas::Text(double x, double y, std::u16string_view text, std::u16string_view css_class,
                  Anchor anchor, double rotate) {
  text_ += u"<text x=\"" + Coordinate(x) + u"\" y=\"" + Coordinate(y) + u"\" class=\"" +
           html::EscapeAttribute(css_class) + u"\" text-anchor=\"" +
           std::u16string(AnchorName(anchor)) + u"\"";
  if (rotate != 0) {
    text_ += u" transform=\"rotate(" + Coordinate(rotate) + u" " + Coordinate(x) + u" " +
             Coordinate(y) + u")\"";
  }
  text_ += u">" + html::EscapeText(text) + u"</text>\n";
}

void Canvas::Mark(Marker shape, double x, double y, double size, std::u16string_view css_class,
                  const std::vector<Attribute>& attributes, std::u16string_view tooltip) {
  const double r = size / 2;
  switch (shape) {
    case Marker::kCircle:
      text_ += u"<circle cx=\"" + Coordinate(x) + u"\" cy=\"" + Coordinate(y) + u"\" r=\"" +
               Coordinate(r) + u"\"";
      break;
    case Marker::kSquare:
      text_ += u"<rect x=\"" + Coordinate(x - r) + u"\" y=\"" + Coordinate(y - r) + u"\" width=\"" +
               Coordinate(size) + u"\" height=\"" + Coordinate(size) + u"\"";
      break;
    case Marker::kTriangle:
      text_ += u"<polygon points=\"" + Coordinate(x) + u"," + Coordinate(y - r) + u" " +
               Coordinate(x + r) + u"," + Coordinate(y + r) + u" " + Coordinate(x - r) + u"," +
               Coordinate(y + r) + u"\"";
      break;
    case Marker::kDiamond:
      text_ += u"<polygon points=\"" + Coordinate(x) + u"," + Coordinate(y - r) + u" " +
               Coordinate(x + r) + u"," + Coordinate(y) + u" " + Coordinate(x) + u"," +
               Coordinate(y + r) + u" " + Coordinate(x - r) + u"," + Coordinate(y) + u"\"";
      break;
  }
  if (!css_class.empty()) text_ += u" class=\"" + html::EscapeAttribute(css_class) + u"\"";
  for (const Attribute& attribute : attributes) {
    text_ += u" " + attribute.name + u"=\"" + html::EscapeAttribute(attribute.value) + u"\"";
  }
  const std::u16string_view element = shape == Marker::kCircle   ? u"circle"
                                      : shape == Marker::kSquare ? u"rect"
                                                                 : u"polygon";
  if (tooltip.empty()) {
    text_ += u"/>\n";
  } else {
    text_ +=
        u"><title>" + html::EscapeText(tooltip) + u"</title></" + std::u16string(element) + u">\n";
  }
}

void Canvas::BeginGroup(std::u16string_view css_class) {
  text_ += u"<g class=\"" + html::EscapeAttribute(css_class) + u"\">\n";
}

void Canvas::EndGroup() { text_ += u"</g>\n"; }

std::u16string Canvas::Finish() {
  text_ += u"</svg>\n";
  return std::exchange(text_, {});
}

std::u16string BarChart(const BarChartData& chart) {
  Canvas canvas(chart.width, chart.height, chart.title);
  double highest = 0;
  for (const Bar& bar : chart.bars) highest = std::max(highest, bar.value);
  // The value axis starts at zero and counts whole things: ticks at least one apart.
  const std::vector<double> ticks =
      Ticks(0, std::max(highest, 1.0), std::max(1, std::min(5, static_cast<int>(highest))));
  Frame frame;
  frame.left = kLeft;
  frame.top = kTop + 10;  // room for the value above the highest bar
  frame.right = chart.width - kRight;
  frame.bottom = chart.height - kBottom;
  frame.y = {0, ticks.back(), frame.bottom, frame.top};
  for (const double tick : ticks) {
    const double y = frame.y(tick);
    canvas.Line(frame.left, y, frame.right, y, u"grid");
    canvas.Text(frame.left - 6, y + 4, FormatNumber(tick), u"tick", Anchor::kEnd);
  }
  const double slot = chart.bars.empty() ? 0 : (frame.right - frame.left) / chart.bars.size();
  for (std::size_t i = 0; i < chart.bars.size(); ++i) {
    const Bar& bar = chart.bars[i];
    const double x = frame.left + slot * i;
    const double top = frame.y(bar.value);
    if (bar.value > 0)
      canvas.Rect(x + slot * 0.1, top, slot * 0.8, frame.bottom - top, u"bar", bar.tooltip);
    canvas.Text(x + slot / 2, top - 4, FormatNumber(bar.value), u"value", Anchor::kMiddle);
    canvas.Text(x + slot / 2, frame.bottom + 16, bar.label, u"tick", Anchor::kMiddle);
  }
  canvas.Line(frame.left, frame.bottom, frame.right, frame.bottom, u"axis");
  canvas.Line(frame.left, frame.top, frame.left, frame.bottom, u"axis");
  canvas.Text((frame.left + frame.right) / 2, chart.height - 8, chart.x_title, u"axis-title",
              Anchor::kMiddle);
  canvas.Text(14, (frame.top + frame.bottom) / 2, chart.y_title, u"axis-title", Anchor::kMiddle,
              -90);
  return canvas.Finish();
}

std::u16string ScatterChart(const ScatterChartData& chart) {
  Canvas canvas(chart.width, chart.height, chart.title);
  std::vector<double> xs, ys;
  for (const Point& point : chart.points) {
    xs.push_back(point.x);
    ys.push_back(point.y);
  }
  double top = kTop;
  if (!chart.legend.empty()) {
    double x = kLeft;
    for (const auto& [marker, name] : chart.legend) {
      canvas.Mark(marker, x + 5, kTop + 2, 9, u"point");
      canvas.Text(x + 14, kTop + 6, name, u"legend");
      x += 24 + 13 * static_cast<double>(name.size());
    }
    top += kLegendLine;
  }
  const Frame frame = DrawAxes(canvas, chart.width, chart.height, top, Covering(chart.x, xs),
                               Covering(chart.y, ys), 8, 5);
  canvas.BeginGroup(u"point");
  for (const Point& point : chart.points) {
    canvas.Mark(point.marker, frame.x(point.x), frame.y(point.y), 8, {}, point.attributes,
                point.tooltip);
  }
  canvas.EndGroup();
  return canvas.Finish();
}

std::u16string LineChart(const LineChartData& chart) {
  Canvas canvas(chart.width, chart.height, chart.title);
  std::vector<double> xs, ys;
  for (const Series& series : chart.series) {
    for (const Point& point : series.points) {
      xs.push_back(point.x);
      ys.push_back(point.y);
    }
  }
  const Frame frame = DrawAxes(canvas, chart.width, chart.height, kTop, Covering(chart.x, xs),
                               Covering(chart.y, ys), 4, 4);
  for (const Series& series : chart.series) {
    std::vector<std::pair<double, double>> line;
    for (const Point& point : series.points) line.emplace_back(frame.x(point.x), frame.y(point.y));
    canvas.Polyline(line, series.dashed ? u"line dashed" : u"line");
    canvas.BeginGroup(u"point filled");
    for (const Point& point : series.points) {
      canvas.Mark(point.marker, frame.x(point.x), frame.y(point.y), 6, {}, point.attributes,
                  point.tooltip);
    }
    canvas.EndGroup();
  }
  return canvas.Finish();
}

std::u16string_view ChartStyles() {
  return u"svg.chart { display: block; font-size: 11px; }\n"
         u".chart .grid { stroke: #ccc; stroke-width: 1; }\n"
         u".chart .axis { stroke: #111; stroke-width: 1; }\n"
         u".chart .tick, .chart .value { fill: #222; }\n"
         u".chart .axis-title, .chart .legend { fill: #111; font-size: 12px; }\n"
         u".chart .bar { fill: #9a9a9a; stroke: #111; stroke-width: 1; }\n"
         u".chart .point { fill: none; stroke: #111; stroke-width: 1.3; }\n"
         u".chart .point.filled { fill: #111; }\n"
         u".chart .line { fill: none; stroke: #111; stroke-width: 1.8; }\n"
         u".chart .line.dashed { stroke-dasharray: 5 3; }\n"
         u"@media print { .chart .bar { fill: #bbb; } }\n";
}

}  // namespace keyin::svg
