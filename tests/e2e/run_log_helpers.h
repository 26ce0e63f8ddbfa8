// The run log read back as any other program reads it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "harness.h"

namespace keyin::e2e {

inline std::filesystem::path DefaultRunLog(const ProgramFolder& folder) {
  return folder.Root() / "log/runs.jsonl";
}

// The lines of the log that have their end, each of which must be a JSON object. A last line
// without its end (a run killed while it wrote) is left out.
inline std::vector<nlohmann::json> LogLines(const std::filesystem::path& log) {
  const std::string text = std::filesystem::exists(log) ? ReadBytes(log) : "";
  std::vector<nlohmann::json> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = text.substr(start, end - start);
    nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
    EXPECT_TRUE(parsed.is_object() && parsed.contains("id") && parsed.contains("exit"))
        << "not a whole entry: " << line;
    lines.push_back(std::move(parsed));
  }
  return lines;
}

}  // namespace keyin::e2e
