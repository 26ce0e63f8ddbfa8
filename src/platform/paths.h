// The program folder and the translation of the Windows-style paths that the run parameters
// and the fixed places use.
//
// Translation: every "\" becomes "/"; a leading drive "X:" (any letter, either case) becomes the
// value of KEYIN_DRIVE_X (upper-case letter) when it is set, otherwise <program folder>/drive_x
// (lower-case letter). POSIX paths pass through unchanged.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace keyin {

using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;

// Pure: the translation above with the given environment and program folder.
std::string TranslatePath(std::string_view path, const std::string& program_folder,
                          const EnvironmentLookup& environment);

// The folder of the running executable (not KEYIN_HOME): where its sibling programs live.
std::string ExecutableFolder();
// KEYIN_HOME when set and not empty, otherwise the folder of the running executable.
std::string ProgramFolder();

// The path as the process reaches it: a relative path joined to the working folder, an absolute
// one unchanged. Nothing is resolved or removed ("..", links), so a check can still see them.
std::string AbsolutePath(const std::string& path);

// The process environment, for TranslatePath.
std::optional<std::string> GetEnvironment(const std::string& name);

class PathTranslator {
 public:
  explicit PathTranslator(std::string program_folder)
      : program_folder_(std::move(program_folder)) {}
  const std::string& ProgramFolder() const { return program_folder_; }
  // Takes UTF-16 text as the system builds it and gives a file-system path (UTF-8).
  std::string operator()(std::u16string_view path) const;
  std::string operator()(std::string_view path) const;

 private:
  std::string program_folder_;
};

}  // namespace keyin
