#include "report/html.h"

#include <gtest/gtest.h>

#include <cstring>

namespace keyin::html {
namespace {

TEST(Escape, TextAndAttributesKeepMarkupOut) {
  struct Case {
    const char* behaviour;
    std::u16string input, text, attribute;
  };
  const Case cases[] = {
      {"markup characters", u"<a href='x'>&\"", u"&lt;a href='x'&gt;&amp;\"",
       u"&lt;a href=&#39;x&#39;&gt;&amp;&quot;"},
      {"Chinese text passes", u"王小明", u"王小明", u"王小明"},
      {"line ends and tabs pass", u"a\r\n\tb", u"a\r\n\tb", u"a\r\n\tb"},
      {"other controls become U+FFFD", u"a\x01\x1b[31mb\x7f", u"a\uFFFD\uFFFD[31mb\uFFFD",
       u"a\uFFFD\uFFFD[31mb\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeText(c.input), c.text) << c.behaviour;
    EXPECT_EQ(EscapeAttribute(c.input), c.attribute) << c.behaviour;
  }
}

TEST(Page, IsSelfContainedTraditionalChineseUtf8PrintableOnA4) {
  const std::u16string page = Page(u"成績 <報表>", u"<p>內文</p>", u".x { color: #000; }");
  EXPECT_TRUE(page.starts_with(u"<!DOCTYPE html>\n<html lang=\"zh-Hant\">"));
  EXPECT_NE(page.find(u"<meta charset=\"utf-8\">"), std::u16string::npos);
  EXPECT_NE(page.find(u"<title>成績 &lt;報表&gt;</title>"), std::u16string::npos);
  EXPECT_NE(page.find(u"@page { size: A4;"), std::u16string::npos);
  EXPECT_NE(page.find(u".x { color: #000; }</style>"), std::u16string::npos);
  EXPECT_NE(page.find(u"<body>\n<p>內文</p></body>"), std::u16string::npos);
  for (const char* outside : {"http", "src=", "href=", "url(", "@import", "<script"}) {
    EXPECT_EQ(page.find(std::u16string(outside, outside + std::strlen(outside))),
              std::u16string::npos)
        << "loads something: " << outside;
  }
}

TEST(Table, EscapesCellsAlignsNumbersAndPadsShortRows) {
  const std::u16string table =
      Table({{u"姓名"}, {u"速度", true}}, {{u"<王>", u"42"}, {u"李"}}, u"成績");
  EXPECT_EQ(table,
            u"<table><caption>成績</caption>\n<thead><tr><th>姓名<th class=\"n\">速度\n<tbody>\n"
            u"<tr><td>&lt;王&gt;<td class=\"n\">42\n<tr><td>李<td class=\"n\">\n</table>\n");
}

}  // namespace
}  // namespace keyin::html
