// The run log's reader on arbitrary text: it never fails, and every line it takes for an entry
// is written back by FormatLogLine as a line that reads as the same entry, so a log that a
// re-scoring reads and appends to keeps its meaning.
#include <cstdint>
#include <string_view>

#include "audit/run_log.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const keyin::RunLogEntry& entry : keyin::ParseLog(text)) {
    const std::string line = keyin::FormatLogLine(entry);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    const std::optional<keyin::RunLogEntry> again = keyin::ParseLogLine(line);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == entry);
  }
  return 0;
}
