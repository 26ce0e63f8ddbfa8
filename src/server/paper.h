// The paper of a sitting as the candidates see it: the reference lines of each test part, read
// from the test-paper library (LibPath/<ExamPaperNo>.LIB) or from the custom text
// (<program folder>/lib/<ExamPaperNo>.cus), the same files the scorer reads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/sitting.h"

namespace keyin::server {

struct Paper {
  std::vector<std::vector<std::string>> parts;  // UTF-8 lines of part 1 (and part 2)
};

// The bytes of a custom text file (.cus) of the lines, as keyin-tool make-cus writes it. Throws
// SittingError naming a line code page 950 cannot hold. Pure.
std::string CustomTextBytes(const std::vector<std::string>& lines);

// Writes the sitting's CustomText, when it has one, as the custom text file of its paper.
// Throws SittingError for a line that the custom-text format cannot hold.
void InstallCustomText(const Sitting& sitting, const std::string& program_folder);

// A test paper made from the texts of its two parts (a line per line; a CR before a LF is
// dropped, and a last empty piece after the last line end is no line), as keyin-tool make-lib
// makes it: the .LIB bytes, and the lines of each part as candidates will see them, read back
// from those bytes. Throws SittingError naming the part and line that cannot be written. Pure.
struct MadePaper {
  std::string bytes;
  std::vector<std::vector<std::string>> parts;
};
MadePaper MakePaper(std::string_view part1, std::string_view part2);

// Throws SittingError when the paper is missing or a part the kind of run needs is empty.
Paper LoadPaper(const Sitting& sitting, const std::string& program_folder);

}  // namespace keyin::server
