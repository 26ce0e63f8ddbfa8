#include "records/cscr_file.h"

#include <cmath>

#include "platform/code_page.h"
#include "platform/text_stream.h"
#include "run/run_end.h"
#include "support/number_text.h"

namespace keyin {

std::u16string TwoDigitNumber(std::u16string_view text) {
  const double number = LeadingNumber(text);
  if (!std::isfinite(number)) {
    throw RunFailure("the session or seat number is too large: \"" + Utf16ToUtf8(text) + "\"");
  }
  std::u16string digits = FormatWhole(number);
  const bool negative = !digits.empty() && digits.front() == u'-';
  const std::size_t digit_count = digits.size() - (negative ? 1 : 0);
  if (digit_count < 2) digits.insert(negative ? 1 : 0, 2 - digit_count, u'0');
  return digits;
}

std::u16string CscrFileName(std::u16string_view SessionNo, std::u16string_view SeatNo) {
  return u"CSCR" + TwoDigitNumber(SessionNo) + TwoDigitNumber(SeatNo);
}

std::vector<std::u16string> CscrLines(std::u16string_view SessionNo, std::u16string_view SeatNo,
                                      const ResultValues& results, const DateTime& now) {
  const auto part_line = [](std::u16string_view label, double score, double error_rate) {
    return std::u16string(label) + u" = " + FormatNumber(score) + u" 字/分鐘, 錯誤率 = " +
           FormatNumber(error_rate) + u"％";
  };
  return {
      TwoDigitNumber(SessionNo) + TwoDigitNumber(SeatNo) + u" " +
          FormatDateTimeText(now, kStoredDateTimePattern),
      part_line(u"測驗一\u3000", results.Test1Score, results.Test1Err),
      part_line(u"測驗二\u3000", results.Test2Score, results.Test2Err),
      part_line(u"覆核成績", results.ReviewScore, results.ReviewErr),
  };
}

std::optional<std::string> Put_Scr(const std::string& folder, const RunParams& params,
                                   const ResultValues& results, const DateTime& now) {
  // Named by its folder alone until the session and seat have been read.
  std::string path = folder + "CSCR";
  try {
    path = folder + Utf16ToUtf8(CscrFileName(params.SessionNo, params.SeatNo));
    const std::vector<std::u16string> lines =
        CscrLines(params.SessionNo, params.SeatNo, results, now);
    TextWriter file(path);
    for (const std::u16string& line : lines) file.WriteLine(line);
    file.Close();
    return std::nullopt;
  } catch (const std::exception& failure) {
    return "cannot write the CSCR score file " + path + ": " + failure.what();
  }
}

}  // namespace keyin
