// keyin-scorer: scores one finished test part. The argument string is argv[1..] joined by single
// blanks, as a front end that passes one quoted argument gives it.
#include <exception>
#include <iostream>
#include <string>

#include "platform/code_page.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "startup/startup.h"
#include "startup/usage.h"

int main(int argc, char** argv) {
  std::string arguments;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += argv[i];
  }
  // Before anything is opened: a newcomer who asks is told how to run it.
  if (keyin::AsksForUsage(arguments)) {
    std::cout << keyin::UsageText();
    return 0;
  }
  try {
    keyin::ConsoleMessageSink messages;
    return keyin::UserForm_Activate(keyin::Utf8ToUtf16(arguments), keyin::ProgramFolder(),
                                    messages);
  } catch (const std::exception& failure) {
    keyin::ReportFailureLine("keyin-scorer", failure.what());
    return 1;
  }
}
