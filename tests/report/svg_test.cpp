#include "report/svg.h"

#include <gtest/gtest.h>

#include "occurrences.h"

namespace keyin::svg {
namespace {

TEST(Ticks, AreRoundAndCoverTheRange) {
  struct Case {
    const char* behaviour;
    double low, high;
    int count;
    std::vector<double> ticks;
  };
  const Case cases[] = {
      {"steps of ten", 3, 47, 5, {0, 10, 20, 30, 40, 50}},
      {"steps of two", 0, 7, 4, {0, 2, 4, 6, 8}},
      {"steps of five hundredths", 0.12, 0.31, 4, {0.1, 0.15, 0.2, 0.25, 0.3, 0.35}},
      {"one value gets an interval around it", 40, 40, 4, {20, 30, 40, 50, 60}},
      {"zero alone spans minus one to one", 0, 0, 2, {-1, 0, 1}},
      {"reversed bounds are put in order", 10, 0, 2, {0, 5, 10}},
  };
  for (const Case& c : cases) EXPECT_EQ(Ticks(c.low, c.high, c.count), c.ticks) << c.behaviour;
}

TEST(Coordinate, WritesAtMostOneDecimal) {
  EXPECT_EQ(Coordinate(12.04), u"12");
  EXPECT_EQ(Coordinate(12.25), u"12.3");
  EXPECT_EQ(Coordinate(-3.2), u"-3.2");
  EXPECT_EQ(Coordinate(-0.01), u"0");
  EXPECT_EQ(Coordinate(1.0 / 0.0), u"0");
}

TEST(ScatterChart, DrawsOneMarkedPointPerEntryWithEscapedData) {
  ScatterChartData data;
  data.title = u"速度與錯誤率";
  data.points.push_back({42, 3, Marker::kCircle, {{u"data-user", u"S\"1"}}, u"王<小明>"});
  data.points.push_back({60, 0, Marker::kSquare, {{u"data-user", u"S2"}}, {}});
  data.points.push_back({35, 12, Marker::kTriangle, {{u"data-user", u"S3"}}, {}});
  data.legend = {{Marker::kCircle, u"練習"}};
  const std::u16string chart = ScatterChart(data);
  EXPECT_EQ(Occurrences(chart, u"data-user="), 3u);
  EXPECT_NE(chart.find(u"data-user=\"S&quot;1\"><title>王&lt;小明&gt;</title></circle>"),
            std::u16string::npos);
  EXPECT_NE(chart.find(u"<title>速度與錯誤率</title>"), std::u16string::npos);
  EXPECT_TRUE(chart.starts_with(u"<svg ") && chart.ends_with(u"</svg>\n"));
}

TEST(BarChart, WritesEachValueAboveItsBarAndSkipsEmptyBars) {
  BarChartData data{u"速度分布", u"速度", u"筆數", {{u"40–49", 3, u"3 筆"}, {u"50–59", 0, {}}}};
  const std::u16string chart = BarChart(data);
  EXPECT_EQ(Occurrences(chart, u"class=\"bar\""), 1u);
  EXPECT_NE(chart.find(u">40–49</text>"), std::u16string::npos);
  EXPECT_NE(chart.find(u"class=\"value\" text-anchor=\"middle\">3</text>"), std::u16string::npos);
  EXPECT_NE(chart.find(u"class=\"value\" text-anchor=\"middle\">0</text>"), std::u16string::npos);
}

}  // namespace
}  // namespace keyin::svg
