#include "server/multipart.h"

#include <gtest/gtest.h>

namespace keyin::server {
namespace {

constexpr char kType[] = "multipart/form-data; boundary=----B7x";

// A form as Chromium sends it: a JSON field sent as a file, and a CSV file whose content holds
// line ends, bytes of code page 950 and a dash line that is not the boundary.
const std::string kBrowserForm =
    "------B7x\r\n"
    "Content-Disposition: form-data; name=\"sitting\"; filename=\"sitting.json\"\r\n"
    "Content-Type: application/json\r\n"
    "\r\n"
    "{\"ExamNo\":\"E01\"}\r\n"
    "------B7x\r\n"
    "content-disposition: form-data; name=\"roster\"; filename=\"roster.csv\"\r\n"
    "CONTENT-TYPE: text/csv\r\n"
    "\r\n"
    "UserID,StuName\r\nT1,\xA4\xFD\xA4\x70\r\n------B7\r\n"
    "\r\n"
    "------B7x--\r\n";

TEST(ParseMultipartForm, ReadsEveryPartByteForByte) {
  const auto parts = ParseMultipartForm(kType, kBrowserForm);
  ASSERT_TRUE(parts);
  ASSERT_EQ(parts->size(), 2u);
  EXPECT_EQ((*parts)[0].name, "sitting");
  EXPECT_EQ((*parts)[0].filename, "sitting.json");
  EXPECT_EQ((*parts)[0].content_type, "application/json");
  EXPECT_EQ((*parts)[0].content, "{\"ExamNo\":\"E01\"}");
  EXPECT_EQ((*parts)[1].name, "roster");
  EXPECT_EQ((*parts)[1].content_type, "text/csv");
  EXPECT_EQ((*parts)[1].content, "UserID,StuName\r\nT1,\xA4\xFD\xA4\x70\r\n------B7\r\n");
  EXPECT_EQ(FindFormPart(*parts, "roster"), &(*parts)[1]);
  EXPECT_EQ(FindFormPart(*parts, "Roster"), nullptr);
}

TEST(ParseMultipartForm, AcceptsWhatTheStandardAllows) {
  struct Case {
    const char* behaviour;
    std::string type;
    std::string body;
    std::vector<FormPart> parts;
  };
  const std::string part = "Content-Disposition: form-data; name=a\r\n\r\nx\r\n";
  const Case cases[] = {
      {"a quoted boundary with a blank, the type in capitals, another parameter first",
       "Multipart/Form-Data; charset=utf-8; boundary=\"b c\"",
       "--b c\r\n" + part + "--b c--",
       {{"a", "", "", "x"}}},
      {"a preamble and an epilogue",
       "multipart/form-data; boundary=b",
       "ignore me\r\n--b\r\n" + part + "--b--\r\nand me",
       {{"a", "", "", "x"}}},
      {"padding after a delimiter",
       "multipart/form-data; boundary=b",
       "--b  \r\n" + part + "--b--",
       {{"a", "", "", "x"}}},
      {"an empty content, a field without a file name",
       "multipart/form-data; boundary=b",
       "--b\r\nContent-Disposition: form-data; name=\"e\"\r\nX-Other: 1\r\n\r\n\r\n--b--",
       {{"e", "", "", ""}}},
      {"a name with an escaped quote and a ';'",
       "multipart/form-data; boundary=b",
       "--b\r\nContent-Disposition: form-data; name=\"q\\\"; r\"; filename=\"f.csv\"\r\n\r\nv\r\n"
       "--b--",
       {{"q\"; r", "f.csv", "", "v"}}},
      {"no parts", "multipart/form-data; boundary=b", "--b--", {}},
  };
  for (const Case& c : cases) {
    const auto parts = ParseMultipartForm(c.type, c.body);
    ASSERT_TRUE(parts) << c.behaviour;
    ASSERT_EQ(parts->size(), c.parts.size()) << c.behaviour;
    for (std::size_t i = 0; i < c.parts.size(); ++i) {
      EXPECT_EQ((*parts)[i].name, c.parts[i].name) << c.behaviour;
      EXPECT_EQ((*parts)[i].filename, c.parts[i].filename) << c.behaviour;
      EXPECT_EQ((*parts)[i].content, c.parts[i].content) << c.behaviour;
    }
  }
}

TEST(ParseMultipartForm, RefusesABrokenFormWhole) {
  struct Case {
    const char* behaviour;
    std::string type;
    std::string body;
  };
  const std::string good = kBrowserForm;
  std::string many;
  for (std::size_t i = 0; i <= kMaxFormParts; ++i) {
    many += "--b\r\nContent-Disposition: form-data; name=p\r\n\r\nx\r\n";
  }
  const Case cases[] = {
      {"another type", "application/json", good},
      {"no boundary", "multipart/form-data", good},
      {"an empty boundary", "multipart/form-data; boundary=", good},
      {"a boundary of 71 characters", "multipart/form-data; boundary=" + std::string(71, 'b'),
       "--" + std::string(71, 'b') + "--"},
      {"an unclosed quote", "multipart/form-data; boundary=\"b", "--b--"},
      {"no delimiter at all", kType, "just text"},
      {"cut before the last delimiter", kType, good.substr(0, good.size() - 15)},
      {"cut inside the last delimiter", kType, good.substr(0, good.size() - 5)},
      {"cut in a part's head", kType, good.substr(0, 40)},
      {"a part without a blank line", "multipart/form-data; boundary=b",
       "--b\r\nContent-Disposition: form-data; name=a\r\nx\r\n--b--"},
      {"a part without a name", "multipart/form-data; boundary=b",
       "--b\r\nContent-Disposition: form-data; filename=a\r\n\r\nx\r\n--b--"},
      {"a part that is not form data", "multipart/form-data; boundary=b",
       "--b\r\nContent-Disposition: attachment; name=a\r\n\r\nx\r\n--b--"},
      {"a part without Content-Disposition", "multipart/form-data; boundary=b",
       "--b\r\nContent-Type: text/csv\r\n\r\nx\r\n--b--"},
      {"a header line without a colon", "multipart/form-data; boundary=b",
       "--b\r\nContent-Disposition: form-data; name=a\r\nbroken\r\n\r\nx\r\n--b--"},
      {"text after a delimiter", "multipart/form-data; boundary=b",
       "--bX\r\nContent-Disposition: form-data; name=a\r\n\r\nx\r\n--b--"},
      {"more parts than a form has", "multipart/form-data; boundary=b", many + "--b--"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(ParseMultipartForm(c.type, c.body)) << c.behaviour;
  }
}

}  // namespace
}  // namespace keyin::server
