// What keyin-scorer says about itself.
#pragma once

#include <string_view>

namespace keyin {

// True for an argument string that asks for the usage text: exactly "--help", "-h" or
// "--version". Any other string, one field or sixteen, is a run.
bool AsksForUsage(std::string_view argument_text);

// The usage text: the sixteen run parameters, where the files go and the exit statuses.
std::string_view UsageText();

}  // namespace keyin
