#include "platform/paths.h"

#include <filesystem>

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "platform/code_page.h"

namespace keyin {

std::string TranslatePath(std::string_view path, const std::string& program_folder,
                          const EnvironmentLookup& environment) {
  std::string translated(path);
  for (char& c : translated) {
    if (c == '\\') c = '/';
  }
  if (translated.size() >= 2 && translated[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(translated[0])) &&
      static_cast<unsigned char>(translated[0]) < 0x80) {
    char letter = translated[0];
    std::string variable = "KEYIN_DRIVE_";
    variable += static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    std::string root;
    if (std::optional<std::string> value = environment(variable)) {
      root = *value;
    } else {
      root = program_folder + "/drive_";
      root += static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
    translated = root + translated.substr(2);
  }
  return translated;
}

std::optional<std::string> GetEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::string ExecutableFolder() {
  std::string executable(4096, '\0');
  ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= executable.size()) {
    throw std::runtime_error("cannot find the folder of the executable: set KEYIN_HOME");
  }
  executable.resize(static_cast<std::size_t>(length));
  std::size_t slash = executable.rfind('/');
  return slash == 0 ? std::string("/") : executable.substr(0, slash);
}

std::string ProgramFolder() {
  if (std::optional<std::string> home = GetEnvironment("KEYIN_HOME"); home && !home->empty()) {
    return *home;
  }
  return ExecutableFolder();
}

std::string AbsolutePath(const std::string& path) {
  if (path.starts_with('/')) return path;
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  return error ? path : (here / path).string();
}

std::string PathTranslator::operator()(std::u16string_view path) const {
  return (*this)(std::string_view(Utf16ToUtf8(path)));
}

std::string PathTranslator::operator()(std::string_view path) const {
  return TranslatePath(path, program_folder_, GetEnvironment);
}

}  // namespace keyin
