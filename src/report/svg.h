// Inline SVG charts for the system's HTML reports: a canvas that writes shapes with escaped
// attributes, linear scales and round tick values, and three charts (bars, scatter, lines) that
// print in black and white: shapes differ by outline, marker and dash, never by colour alone.
// Pure functions returning UTF-16 text for html::Page; ChartStyles() goes into the page's CSS.
//
//   svg::ScatterChartData chart{u"速度與錯誤率", {u"速度（字/分）"}, {u"錯誤率（％）"}};
//   chart.points.push_back({42, 3, svg::Marker::kCircle, {{u"data-user", u"S1"}}, u"王小明"});
//   body += svg::ScatterChart(chart);
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyin::svg {

// Maps [domain_low, domain_high] linearly onto [range_low, range_high]; an empty domain maps
// everything to the middle of the range.
struct Scale {
  double domain_low = 0, domain_high = 1, range_low = 0, range_high = 1;
  double operator()(double value) const;
};

// Round tick values (1, 2 or 5 times a power of ten apart) from at or below `low` to at or above
// `high`, about `count` intervals; for low == high an interval around the value.
std::vector<double> Ticks(double low, double high, int count);

// Numbers of a drawing: at most one decimal ("12.5", "40", "-3.2").
std::u16string Coordinate(double value);

enum class Marker { kCircle, kSquare, kTriangle, kDiamond };
enum class Anchor { kStart, kMiddle, kEnd };

struct Attribute {
  std::u16string name;   // written as given: a fixed name such as u"data-user"
  std::u16string value;  // escaped when written
};

// One <svg> element with role="img" and an accessible title, built shape by shape in drawing
// order. Sizes are in CSS pixels; the element scales down to the page width.
class Canvas {
 public:
  Canvas(double width, double height, std::u16string_view title);

  void Line(double x1, double y1, double x2, double y2, std::u16string_view css_class);
  void Rect(double x, double y, double width, double height, std::u16string_view css_class,
            std::u16string_view tooltip = {});
  void Polyline(const std::vector<std::pair<double, double>>& points,
                std::u16string_view css_class);
  void Text(double x, double y, std::u16string_view text, std::u16string_view css_class,
            Anchor anchor = Anchor::kStart, double rotate = 0);
  // A marker of `size` pixels across, centred on (x, y), with its class when one is given (a
  // group's class serves all its markers); `attributes` mark the data it shows (data-user,
  // ...), `tooltip` becomes its <title>.
  void Mark(Marker shape, double x, double y, double size, std::u16string_view css_class,
            const std::vector<Attribute>& attributes = {}, std::u16string_view tooltip = {});

  // A group whose class its shapes inherit, up to EndGroup.
  void BeginGroup(std::u16string_view css_class);
  void EndGroup();

  // The finished element; the canvas is empty afterwards.
  std::u16string Finish();

 private:
  std::u16string text_;
};

// An axis: its title, the data range it must show, and how a tick value is written (plain
// numbers when not given).
struct Axis {
  std::u16string title;
  double low = 0;
  double high = 0;
  std::function<std::u16string(double)> label;
};

struct Bar {
  std::u16string label;  // under the bar
  double value = 0;      // written above the bar too, so print needs no gridlines
  std::u16string tooltip;
};

struct BarChartData {
  std::u16string title;  // accessible title
  std::u16string x_title;
  std::u16string y_title;
  std::vector<Bar> bars;
  double width = 680;
  double height = 280;
};
std::u16string BarChart(const BarChartData& chart);

struct Point {
  double x = 0;
  double y = 0;
  Marker marker = Marker::kCircle;
  std::vector<Attribute> attributes;
  std::u16string tooltip;
};

struct ScatterChartData {
  std::u16string title;
  Axis x;
  Axis y;
  std::vector<Point> points;
  // Shown above the plot when not empty: each marker with what it stands for.
  std::vector<std::pair<Marker, std::u16string>> legend;
  double width = 680;
  double height = 340;
};
// The axes cover every point and the ranges of `x` and `y`.
std::u16string ScatterChart(const ScatterChartData& chart);

struct Series {
  std::u16string name;
  std::vector<Point> points;  // in order along the line
  bool dashed = false;
};

struct LineChartData {
  std::u16string title;
  Axis x;
  Axis y;
  std::vector<Series> series;
  double width = 340;
  double height = 200;
};
std::u16string LineChart(const LineChartData& chart);

// The CSS classes the charts use, for the page's style sheet.
std::u16string_view ChartStyles();

}  // namespace keyin::svg
