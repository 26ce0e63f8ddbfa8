// The stored rows in the three export formats: CSV for spreadsheets, JSON for programs, and an
// aligned table for the terminal. Every value is the stored one; numbers are written as the
// report files write them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/results.h"
#include "report/text_table.h"

namespace keyin::report {

// The columns of an export of these kinds: "kind", then the stored columns of each kind's table
// in the order of kAllKinds; a column name that an earlier table has (in any case: Id and id)
// is the same column. A row fills the columns of its table and leaves the others empty.
std::vector<std::string_view> ExportColumns(const std::vector<ResultKind>& kinds);

// A header record of ExportColumns(kinds), then one record per result (whose kind must be one of
// `kinds`). An empty value is written as nothing, an empty text as "".
std::u16string ResultsCsv(const std::vector<ResultKind>& kinds,
                          const std::vector<StoredResult>& results, bool byte_order_mark);

// The summary of Summarize as CSV for people: a header of its Chinese labels, then its rows.
std::u16string SummaryCsv(const SummaryTable& table, bool byte_order_mark);

// UTF-8 JSON: an array with one object per result, "kind" first and then its table's columns in
// order; an empty value is null, a number a JSON number of the digits the report files write, a
// text a string.
std::string ResultsJson(const std::vector<StoredResult>& results);

// The rows as Summarize shows them, aligned for a terminal; a line saying so when there are none.
std::u16string ResultsTable(const std::vector<StoredResult>& results,
                            const text_table::WidthFunction& width);

}  // namespace keyin::report
