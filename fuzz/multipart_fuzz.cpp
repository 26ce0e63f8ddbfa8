// The multipart/form-data reader on arbitrary bytes: the first line is the Content-Type, the rest
// the body. It never fails; every part it returns has a name, and its content is bytes of the
// body that hold no delimiter, in the order of the body.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "server/multipart.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = input.find('\n');
  if (line_end == std::string_view::npos) return 0;
  const std::string_view type = input.substr(0, line_end), body = input.substr(line_end + 1);
  const auto parts = keyin::server::ParseMultipartForm(type, body);
  if (!parts) return 0;
  FUZZ_CHECK(parts->size() <= keyin::server::kMaxFormParts);
  // With the type in its plain form the boundary is known here too: no content holds it.
  constexpr std::string_view kPlain = "multipart/form-data; boundary=";
  std::string delimiter;
  if (type.starts_with(kPlain) &&
      type.find_first_of("\"; \t\r\n", kPlain.size()) == std::string_view::npos) {
    delimiter = "\r\n--" + std::string(type.substr(kPlain.size()));
  }
  std::size_t searched_from = 0;
  for (const keyin::server::FormPart& part : *parts) {
    FUZZ_CHECK(!part.name.empty());
    const std::size_t at = body.find(part.content, searched_from);
    FUZZ_CHECK(at != std::string_view::npos);
    searched_from = at + part.content.size();
    FUZZ_CHECK(delimiter.empty() || part.content.find(delimiter) == std::string::npos);
  }
  return 0;
}
