// The subcommands of keyin-tool. Each returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace keyin::tool {

int InitDb(bool force);
int LibRead(const std::string& file, const std::string& part);
int MakeLib(const std::string& part1_file, const std::string& part2_file,
            const std::string& out_file);
int MakeCus(const std::string& text_file, const std::string& out_file);

// Lines of a UTF-8 text file: a line ends at LF, a CR before it is dropped, and a final empty
// piece after the last line end is not a line. Throws FileError.
std::vector<std::u16string> ReadUtf8Lines(const std::string& path);

// "keyin-tool: <description>" on standard error.
void Complain(const std::string& description);

}  // namespace keyin::tool
