#include "tool/command_support.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "run/run_end.h"
#include "support/text.h"

namespace keyin::tool {

void OnRun(CLI::App* command, std::function<int()> work) {
  command->callback([work = std::move(work)] {
    int status = kExitFailure;
    try {
      status = work();
    } catch (const std::exception& failure) {
      Complain(failure.what());
    }
    // CLI11 ends the parse with this status and prints nothing for it.
    if (status != kExitDone) throw CLI::RuntimeError(status);
  });
}

std::string ValueOf(const CLI::App* command, const std::string& option) {
  return command->get_option(option)->as<std::string>();
}

void Complain(const std::string& description) { ReportFailureLine("keyin-tool", description); }

void WriteOutput(const std::string& output, std::string_view bytes) {
  if (output.empty() || output == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    if (!std::cout) throw FileError("cannot write to standard output");
    return;
  }
  // Whole or not at all, readable by others as any file the user creates.
  WriteFileDurably(output, bytes, 0666);
}

void AddOutputOption(CLI::App* command, std::string& output) {
  command->add_option("--output", output,
                      "Write to this file (replaced whole, only once complete) instead of "
                      "standard output (\"-\")");
}

std::string OutputExtension(const std::string& output) {
  const std::size_t dot = output.rfind('.');
  if (dot == std::string::npos || output.find('/', dot) != std::string::npos) return {};
  std::string extension = output.substr(dot);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension;
}

std::vector<std::u16string> ReadUtf8Lines(const std::string& path) {
  std::u16string text = Utf8ToUtf16(ReadWholeFile(path));
  std::vector<std::u16string> lines = SplitText(text, u"\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::u16string& line : lines) {
    if (!line.empty() && line.back() == u'\r') line.pop_back();
  }
  return lines;
}

namespace {

int WithRunParams(const CLI::App& command, const RunParamsWork& work) {
  const std::vector<std::u16string> pieces =
      SplitArguments(Utf8ToUtf16(ValueOf(&command, "--run")));
  if (pieces.size() != kRunParamCount) {
    Complain("--run needs 16 comma-separated run parameters, got " + std::to_string(pieces.size()));
    return kExitWrongArguments;
  }
  RunParams params;
  try {
    params = MakeRunParams(pieces);
  } catch (const RunFailure& failure) {
    Complain(failure.what());
    return kExitWrongArguments;
  }
  try {
    ConsoleMessageSink messages;
    return work(command, params, PathTranslator(ProgramFolder()), messages);
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return kExitFailure;
  }
}

}  // namespace

CLI::App* AddRunParamsCommand(CLI::App& app, std::string name, std::string description,
                              RunParamsWork work) {
  CLI::App* command = app.add_subcommand(std::move(name), std::move(description));
  command->add_option("--run", "The 16 comma-separated run parameters")->required();
  OnRun(command, [command, work = std::move(work)] { return WithRunParams(*command, work); });
  return command;
}

}  // namespace keyin::tool
