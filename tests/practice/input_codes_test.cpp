// The codes of characters per input method: the pure table, a table file of IBus's form, and the
// tables Debian ships where their packages are installed.
#include "practice/input_codes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "platform/chewing_data.h"
#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/ibus_table.h"
#include "practice/code_tables.h"
#include "temp_folder.h"

namespace keyin {

void PrintTo(const KeyCode& code, std::ostream* out) { *out << code.keys << " " << code.names; }

namespace {

TEST(ParseKeyNames, ReadsThePythonDictOfTheTables) {
  const std::map<char, std::string> names =
      ParseKeyNames(R"({'a': '日', "'": '⺃', '\\': '＼', 'long': 'x', 'z': '重'})");
  EXPECT_EQ(names,
            (std::map<char, std::string>{{'a', "日"}, {'\'', "⺃"}, {'\\', "＼"}, {'z', "重"}}));
  EXPECT_TRUE(ParseKeyNames("").empty());
  EXPECT_TRUE(ParseKeyNames("{'a': ").empty()) << "a pair cut short is left out";
}

TEST(CodesOf, ShortestFirstWithTheKeysNames) {
  const CodeTable table =
      MakeCodeTable("倉頡",
                    {{"zxab", "，"},
                     {",", "，"},
                     {"vfjmc", "繽"},
                     {"vfjmc", "繽"},   // once only
                     {"vfjm", "繽紛"},  // a phrase is no character's code
                     {"ypybp", "𪚥"}},
                    ParseKeyNames("{'v': '女', 'f': '火', 'j': '十', 'm': '一', "
                                  "'c': '金', 'y': '卜', 'p': '心', 'b': '月'}"));
  EXPECT_EQ(CodesOf(table, U'，'), (std::vector<KeyCode>{{",", ","}, {"zxab", "zxa月"}}));
  EXPECT_EQ(CodesOf(table, U'繽'), (std::vector<KeyCode>{{"vfjmc", "女火十一金"}}));
  EXPECT_EQ(CodesOf(table, U'𪚥'), (std::vector<KeyCode>{{"ypybp", "卜心卜月心"}}));
  EXPECT_TRUE(CodesOf(table, U'紛').empty());

  // Keys per character: the shortest code of each character the table has.
  EXPECT_EQ(KeysPerCharacter(table, u"繽，紛"), 3.0) << "(5 + 1) / 2; 紛 has no code";
  EXPECT_EQ(KeysPerCharacter(table, u"𪚥"), 5.0) << "a character outside the BMP is one";
  EXPECT_FALSE(KeysPerCharacter(table, u"紛"));
}

// Syllables as libchewing's data holds them: initial, medial, final and tone in 5, 2, 4, 3 bits.
TEST(MakeReadingTable, TypesEachSyllableOnTheStandardKeyboardWithItsTone) {
  const CodeTable table = MakeReadingTable("注音", {{1 << 9 | 1 << 7 | 10 << 3, "繽"},  // ㄅㄧㄣ
                                                    {5 << 9 | 3 << 3 | 1, "的"},        // ㄉㄜ˙
                                                    {11 << 9 | 1 << 3 | 7, "壞"}});     // no tone 7
  EXPECT_EQ(CodesOf(table, U'繽'), (std::vector<KeyCode>{{"1up ", "ㄅㄧㄣ"}}));
  EXPECT_EQ(CodesOf(table, U'的'), (std::vector<KeyCode>{{"2k7", "ㄉㄜ˙"}}));
  EXPECT_TRUE(CodesOf(table, U'壞').empty());
}

using IbusTableTest = TempFolderTest;

// libchewing's phrase tree: the root's children are syllables; a syllable's children are its
// one-syllable phrases (phone 0, the text's offset) and the next syllables of longer ones.
TEST_F(IbusTableTest, ReadsTheOneSyllablePhrasesOfChewingsTree) {
  const auto node = [](unsigned phone, unsigned first, unsigned second) {
    std::string bytes;
    for (const unsigned value :
         {phone, phone >> 8, first, first >> 8, first >> 16, second, second >> 8, second >> 16}) {
      bytes += static_cast<char>(value & 0xff);
    }
    return bytes;
  };
  const std::string folder = Path("chewing");
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/index_tree.dat", std::ios::binary)
      << node(0, 1, 2) << node(720, 2, 4) << node(0, 7, 0) << node(721, 0, 0);
  std::ofstream(folder + "/dictionary.dat", std::ios::binary) << std::string("繽紛\0繽\0", 12);
  const auto rows = ReadChewingCharacters(folder);
  ASSERT_TRUE(rows);
  EXPECT_EQ(*rows, (std::vector<std::pair<std::uint16_t, std::string>>{{720, "繽"}}));
  std::ofstream(folder + "/index_tree.dat", std::ios::binary) << "short";
  EXPECT_THROW(ReadChewingCharacters(folder), std::runtime_error);
  EXPECT_FALSE(ReadChewingCharacters(Path("none")));
}

// A file of IBus's form: the rows of single characters in the table's order, and the prompts.
TEST_F(IbusTableTest, ReadsTheCharactersAndTheKeysNamesOfAFile) {
  const std::string path = Path("small.db");
  std::ofstream(path).close();
  {
    const std::unique_ptr<DbConnection> db = OpenDatabase(path, "");
    db->Execute("CREATE TABLE phrases (id INTEGER PRIMARY KEY, tabkeys TEXT, phrase TEXT)");
    db->Execute("CREATE TABLE ime (attr TEXT, val TEXT)");
    for (const auto& [id, keys, phrase] :
         {std::tuple{2, "hapi", "的"}, std::tuple{1, "vfjmc", "繽"},
          std::tuple{3, "vfc", "繽紛"}}) {
      db->Execute("INSERT INTO phrases VALUES (?, ?, ?)",
                  {static_cast<double>(id), Utf8ToUtf16(keys), Utf8ToUtf16(phrase)});
    }
    db->Execute("INSERT INTO ime VALUES ('char_prompts', ?)", {Utf8ToUtf16("{'h': '竹'}")});
  }
  const std::optional<IbusTable> table = ReadIbusTable(path);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->rows,
            (std::vector<std::pair<std::string, std::string>>{{"vfjmc", "繽"}, {"hapi", "的"}}));
  EXPECT_EQ(table->char_prompts, "{'h': '竹'}");
  EXPECT_FALSE(ReadIbusTable(Path("none.db"))) << "a package not installed";
}

// The tables Debian ships, where their packages are installed (scripts/install-deps.sh).
TEST(InstalledTables, GiveTheCodesLearnersKnow) {
  const struct {
    const char* method;
    char32_t character;
    const char* keys;
    const char* names;
  } cases[] = {
      {"倉頡", U'繽', "vfjmc", "女火十一金"},
      {"倉頡", U'的', "hapi", "竹日心戈"},
      {"倉頡", U'，', ",", ","},
      {"倉頡", U'鱻', "nfnff", "弓火弓火火"},
      {"新倉頡", U'𪚥', "ypybp", "卜心卜月心"},
      {"速成", U'繽', "vc", "女金"},
      {"行列", U'繽', "xnam", "2v6v1-7v"},
      {"注音", U'繽', "1up ", "ㄅㄧㄣ"},
      {"新注音", U'晉', "rup4", "ㄐㄧㄣˋ"},
      {"大易", U'繽', "35", "糸貝"},
  };
  for (const auto& c : cases) {
    const LoadedCodes loaded = LoadCodeTable(c.method);
    if (!loaded.table) GTEST_SKIP() << loaded.missing;
    const std::vector<KeyCode> codes = CodesOf(*loaded.table, c.character);
    ASSERT_FALSE(codes.empty()) << c.method << " " << c.keys;
    EXPECT_EQ(codes[0], (KeyCode{c.keys, c.names})) << c.method;
  }
  const LoadedCodes cangjie = LoadCodeTable("倉頡");
  EXPECT_TRUE(CodesOf(*cangjie.table, U'A').empty()) << "a character the table lacks";
}

TEST(InstalledTables, AMethodWithoutATableOrAPackageMissingIsSaidNotFailed) {
  EXPECT_EQ(LoadCodeTable("嘸蝦米").missing, "嘸蝦米沒有公開的字碼表，無法列出字碼");
  ::setenv("KEYIN_IBUS_TABLES", "/nonexistent", 1);
  const LoadedCodes missing = LoadCodeTable("倉頡");
  ::unsetenv("KEYIN_IBUS_TABLES");
  EXPECT_FALSE(missing.table);
  EXPECT_NE(missing.missing.find("ibus-table-cangjie3"), std::string::npos) << missing.missing;
}

}  // namespace
}  // namespace keyin
