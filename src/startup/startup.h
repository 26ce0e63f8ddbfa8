// The start-up sequence of a scoring run: opens the keyin-statistics database, takes the argument
// string apart, loads the custom text, calls Cmd_Scr. Returns the exit status.
#pragma once

#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace keyin {

// argument_text is argv[1..] joined by single blanks; program_folder has no trailing "/".
int UserForm_Activate(std::u16string_view argument_text, const std::string& program_folder,
                      MessageSink& messages);

}  // namespace keyin
