// The paper of a sitting as the candidates see it: the reference lines of each test part, read
// from the test-paper library (LibPath/<ExamPaperNo>.LIB) or from the custom text
// (<program folder>/lib/<ExamPaperNo>.cus), the same files the scorer reads.
#pragma once

#include <string>
#include <vector>

#include "server/sitting.h"

namespace keyin::server {

struct Paper {
  std::vector<std::vector<std::string>> parts;  // UTF-8 lines of part 1 (and part 2)
};

// Writes the sitting's CustomText, when it has one, as the custom text file of its paper.
// Throws SittingError for a line that the custom-text format cannot hold.
void InstallCustomText(const Sitting& sitting, const std::string& program_folder);

// Throws SittingError when the paper is missing or a part the kind of run needs is empty.
Paper LoadPaper(const Sitting& sitting, const std::string& program_folder);

}  // namespace keyin::server
