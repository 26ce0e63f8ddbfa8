// The drill of a candidate's history: which characters, in which order, and which lines.
#include "practice/drill.h"

#include <gtest/gtest.h>

namespace keyin {

void PrintTo(const DrillCharacter& c, std::ostream* out) {
  *out << "U+" << std::hex << static_cast<unsigned>(c.character) << std::dec << " misses "
       << c.misses << " right runs " << c.right_runs_since_last_miss;
}

namespace {

RunCharacters Scored(std::map<char32_t, int> misses, std::map<char32_t, int> right,
                     std::vector<std::u16string> lines = {}) {
  return {.run_id = "", .time = {}, .lines = std::move(lines), .misses = misses, .right = right};
}

TEST(MakeDrill, RanksByMissesThenLastMissThenCodePointAndLetsCharactersLeave) {
  struct Case {
    const char* why;
    std::vector<RunCharacters> history;
    std::vector<DrillCharacter> expected;
  };
  const Case cases[] = {
      {"more misses first",
       {Scored({{U'甲', 1}, {U'乙', 3}}, {}), Scored({{U'甲', 1}}, {})},
       {{U'乙', 3, 0}, {U'甲', 2, 0}}},
      {"equal misses: the one missed later first, then by code point",
       {Scored({{U'乙', 1}, {U'丙', 1}}, {}), Scored({{U'甲', 1}, {U'丁', 1}}, {})},
       {{U'丁', 1, 0}, {U'甲', 1, 0}, {U'丙', 1, 0}, {U'乙', 1, 0}}},
      {"typed right in three runs after its last miss: it leaves; in two: it stays",
       {Scored({{U'甲', 1}, {U'乙', 1}}, {}), Scored({}, {{U'甲', 2}}),
        Scored({}, {{U'甲', 1}, {U'乙', 1}}), Scored({}, {{U'甲', 1}, {U'乙', 1}})},
       {{U'乙', 1, 2}}},
      {"a run that also misses it is no right run, and a new miss starts the count again",
       {Scored({{U'甲', 1}}, {}), Scored({{U'甲', 1}}, {{U'甲', 5}}), Scored({}, {{U'甲', 1}}),
        Scored({}, {{U'甲', 1}}), Scored({{U'甲', 1}}, {}), Scored({}, {{U'甲', 1}})},
       {{U'甲', 3, 1}}},
      {"right before it was ever missed counts nothing",
       {Scored({}, {{U'甲', 1}}), Scored({}, {{U'甲', 1}}), Scored({}, {{U'甲', 1}}),
        Scored({{U'甲', 1}}, {})},
       {{U'甲', 1, 0}}},
      {"ASCII and blanks are not drilled; full-width punctuation is",
       {Scored({{U'a', 5}, {U',', 5}, {U'\u3000', 5}, {U'，', 1}}, {})},
       {{U'，', 1, 0}}},
      {"no history, nothing missed", {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeDrill(c.history).characters, c.expected) << c.why;
  }
}

TEST(MakeDrill, TakesEachWeakCharactersRichestLineOnceUpToTheLimit) {
  const std::vector<RunCharacters> history = {
      Scored({{U'甲', 3}, {U'乙', 2}, {U'丙', 1}}, {},
             {u"甲在這裡", u"  ", u"甲乙都在", u"只有丙", u"沒有要練的字", u"abc"}),
      // The same lines again, one with trailing blanks, and a new one that ties with 甲乙都在.
      Scored({}, {}, {u"甲乙都在  ", u"甲乙都在\u3000", u"乙甲並列", u"甲在這裡"}),
  };
  Drill drill = MakeDrill(history);
  // 甲 takes 甲乙都在 (two drill characters, the earliest of the two that have two), 乙 the next
  // richest, 丙 its one line.
  EXPECT_EQ(drill.lines, (std::vector<std::u16string>{u"甲乙都在", u"乙甲並列", u"只有丙"}));

  drill = MakeDrill(history, {.right_runs_to_leave = 3, .max_lines = 2});
  EXPECT_EQ(drill.lines, (std::vector<std::u16string>{u"甲乙都在", u"乙甲並列"}));
  EXPECT_EQ(drill.characters.size(), 3u) << "the limit is on lines, not characters";
}

TEST(Drill, ACharacterBeyondTheBmpIsOneCharacter) {
  // 𠀋 (U+2000B) is a surrogate pair: units 2 and 3 of the line.
  const std::u16string line = u"甲𠀋乙丙";
  RunCharacters run;
  CountMatchedLine(line, 4, {3}, run);  // its second unit marked; 丙 at unit 5 never reached
  EXPECT_EQ(run.misses, (std::map<char32_t, int>{{U'𠀋', 1}}));
  EXPECT_EQ(run.right, (std::map<char32_t, int>{{U'甲', 1}, {U'乙', 1}}));

  run.lines = {line};
  const Drill drill = MakeDrill({run});
  ASSERT_EQ(drill.characters, (std::vector<DrillCharacter>{{U'𠀋', 1, 0}}));
  EXPECT_EQ(drill.lines, (std::vector<std::u16string>{line}));
  EXPECT_EQ(CharacterText(U'𠀋'), u"𠀋");
}

}  // namespace
}  // namespace keyin
