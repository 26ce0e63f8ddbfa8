// The papers the benchmarks score: a typical test part and the largest input a run can hold,
// typed by a candidate who makes a mistake in about one character of twenty.
#pragma once

#include <random>
#include <string>

#include "scoring/matching.h"

namespace keyin {

// Common Chinese characters drawn from a pool of `pool` code points.
inline std::u16string RandomText(std::mt19937& random, int length, int pool) {
  std::uniform_int_distribution<int> pick(0, pool - 1);
  std::u16string text;
  for (int k = 0; k < length; ++k) text.push_back(static_cast<char16_t>(0x4E00 + pick(random)));
  return text;
}

// The line as a candidate types it: each character is, with 5% chance, replaced, left out or
// followed by an extra one (equally often).
inline std::u16string TypeWithErrors(const std::u16string& line, std::mt19937& random, int pool) {
  std::uniform_int_distribution<int> roll(0, 59);
  std::u16string typed;
  for (char16_t ch : line) {
    switch (roll(random)) {
      case 0:
        typed += RandomText(random, 1, pool);
        break;
      case 1:
        break;
      case 2:
        typed.push_back(ch);
        typed += RandomText(random, 1, pool);
        break;
      default:
        typed.push_back(ch);
    }
  }
  return typed;
}

struct Paper {
  ReferenceLines reference{u""};
  TypedLines typed{u""};
};

// Two parts of 20 lines of 16 characters; the candidate types one part, the run scores it
// against both parts (its own first).
inline Paper TypicalPart(unsigned seed) {
  std::mt19937 random(seed);
  constexpr int kPool = 2000;
  Paper paper;
  for (int r = 1; r <= 40; ++r) paper.reference.push_back(RandomText(random, 16, kPool));
  for (int t = 1; t <= 20; ++t)
    paper.typed.push_back(TypeWithErrors(paper.reference[t], random, kPool));
  return paper;
}

// 99 reference lines and 200 typed lines of 100 characters, from a small pool so that
// characters repeat often; typed line t copies reference line (t - 1) % 99 + 1.
inline Paper WorstCase(bool typed_circles) {
  std::mt19937 random(99);
  constexpr int kPool = 60;
  Paper paper;
  for (int r = 1; r <= 99; ++r) paper.reference.push_back(RandomText(random, 100, kPool));
  for (int t = 1; t <= 200; ++t) {
    std::u16string typed = TypeWithErrors(paper.reference[(t - 1) % 99 + 1], random, kPool);
    typed.resize(100, u'\u4E00');
    if (typed_circles) typed[50] = kMatchedMark;
    paper.typed.push_back(typed);
  }
  return paper;
}

}  // namespace keyin
