#include "records/result_store.h"

#include "records/schema.h"
#include "startup/databases.h"
#include "support/number_text.h"

namespace keyin {

std::optional<ResultTable> ResultTableOf(std::u16string_view TestType) {
  if (TestType == u"5") return ResultTable::kKeyin;
  const std::optional<double> number = ParseNumber(TestType);
  if (!number) return std::nullopt;
  if (*number == 3) return ResultTable::kTestScoreStudent;
  if (*number == 4) return ResultTable::kOfflineScore;
  if (*number == 1 || *number == 2) return ResultTable::kTempScore;
  return std::nullopt;
}

std::string TableName(ResultTable table) {
  switch (table) {
    case ResultTable::kKeyin:
      return "Keyin";
    case ResultTable::kTestScoreStudent:
      return "TestScore_Student";
    case ResultTable::kOfflineScore:
      return "OfflineScore";
    case ResultTable::kTempScore:
      return "TempScore";
  }
  return {};
}

std::vector<std::string> TableColumns(ResultTable table) {
  // Read off the statements that create the table, so the two never disagree.
  const std::string prefix = "CREATE TABLE " + TableName(table) + " (";
  const auto& schema =
      table == ResultTable::kKeyin ? AnswerDatabaseSchema() : KeyinDatabaseSchema();
  std::vector<std::string> columns;
  for (const std::string& statement : schema) {
    if (!statement.starts_with(prefix)) continue;
    std::string_view list(statement);
    list.remove_prefix(prefix.size());
    list = list.substr(0, list.rfind(')'));
    while (!list.empty()) {
      const std::size_t comma = list.find(',');
      std::string_view definition = list.substr(0, comma);
      while (definition.starts_with(' ')) definition.remove_prefix(1);
      columns.emplace_back(definition.substr(0, definition.find(' ')));
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
  }
  return columns;
}

std::unique_ptr<DbConnection> OpenResultStore(const std::string& program_folder,
                                              ResultTable table) {
  RecordingMessageSink messages;
  Run run(program_folder, messages);
  try {
    if (table == ResultTable::kKeyin) {
      OpenAnsDb(run);
      return std::move(run.AnsConn);
    }
    opendb(run);
    return std::move(run.KeyinConn);
  } catch (const RunEnd& end) {
    throw DatabaseError(end.what());
  }
}

}  // namespace keyin
