// The Format SQL function and the date-time texts on arbitrary texts.
//
// Input: the value, a line end, the pattern (both UTF-8; bad bytes read as U+FFFD). A value that
// is no stored date-time comes back unchanged; one that is comes back by the pattern, and by
// "yyyy/MM/dd HH:mm:ss" as its normalised text, which reads back as the same date-time. The
// function is also called through the store, which must give what FormatSqlValue gives.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz_check.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/database.h"
#include "scratch.h"

namespace keyin {
namespace {

// One encrypted database for the whole process, in a temporary folder removed at a normal exit.
class ScratchDatabase {
 public:
  ScratchDatabase() {
    std::string pattern = (fuzz::ScratchFolder() / "keyin-fuzz-db-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("cannot create the temporary folder");
      std::abort();
    }
    folder_ = pattern;
    connection_ = CreateDatabase(folder_ + "/fuzz.mdb", "fuzz", {});
  }
  ~ScratchDatabase() {
    connection_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;
  DbConnection& connection() { return *connection_; }

 private:
  std::string folder_;
  std::unique_ptr<DbConnection> connection_;
};

DbConnection& Store() {
  static ScratchDatabase database;
  return database.connection();
}

std::optional<std::string> AsciiOf(std::u16string_view text) {
  std::string ascii;
  for (const char16_t unit : text) {
    if (unit > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(unit));
  }
  return ascii;
}

std::u16string StoredPattern() {
  return std::u16string(kStoredDateTimePattern.begin(), kStoredDateTimePattern.end());
}

bool InRange(const DateTime& value) {
  return value.year >= 1 && value.year <= 9999 && value.month >= 1 && value.month <= 12 &&
         value.day >= 1 && value.day <= 31 && value.hour >= 0 && value.hour <= 23 &&
         value.minute >= 0 && value.minute <= 59 && value.second >= 0 && value.second <= 59;
}

// A pattern without field letters stands for itself.
bool HasNoFieldLetter(std::string_view pattern) {
  return pattern.find_first_of("yMdHms") == std::string_view::npos;
}

void CheckDateTimeTexts(std::string_view text, std::string_view pattern) {
  const std::optional<DateTime> value = ParseDateTime(text);
  if (!value) return;
  FUZZ_CHECK(InRange(*value));
  const std::string stored = FormatDateTime(*value, kStoredDateTimePattern);
  FUZZ_CHECK(stored.size() == kStoredDateTimePattern.size());
  FUZZ_CHECK(ParseDateTime(stored) == value);
  FUZZ_CHECK(ParseDateTime(FormatDateTime(*value, "yyyy/M/d H:m:s")) == value);
  const std::string formatted = FormatDateTime(*value, pattern);
  if (HasNoFieldLetter(pattern)) FUZZ_CHECK(formatted == pattern);
}

void CheckFormat(std::u16string_view value, std::u16string_view pattern) {
  const std::u16string formatted = FormatSqlValue(value, pattern);
  const std::optional<std::string> ascii = AsciiOf(value);
  const std::optional<DateTime> date_time = ascii ? ParseDateTime(*ascii) : std::nullopt;
  if (!date_time) {
    FUZZ_CHECK(formatted == value);
  } else {
    const std::u16string stored = FormatSqlValue(value, StoredPattern());
    const std::optional<std::string> stored_ascii = AsciiOf(stored);
    FUZZ_CHECK(stored_ascii && ParseDateTime(*stored_ascii) == date_time);
    FUZZ_CHECK(*stored_ascii == FormatDateTime(*date_time, kStoredDateTimePattern));
    FUZZ_CHECK(FormatSqlValue(stored, StoredPattern()) == stored);
  }

  const DbRows rows = Store().Query("SELECT Format(?, ?) AS Result",
                                    {std::u16string(value), std::u16string(pattern)});
  FUZZ_CHECK(rows.Count() == 1);
  const DbValue& through_store = rows.First()["Result"];
  FUZZ_CHECK(std::holds_alternative<std::u16string>(through_store));
  FUZZ_CHECK(std::get<std::u16string>(through_store) == formatted);
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = input.find('\n');
  const std::string_view value = input.substr(0, line_end);
  const std::string_view pattern =
      line_end == std::string_view::npos ? std::string_view() : input.substr(line_end + 1);
  keyin::CheckDateTimeTexts(value, pattern);
  keyin::CheckFormat(keyin::Utf8ToUtf16(value), keyin::Utf8ToUtf16(pattern));
  return 0;
}
