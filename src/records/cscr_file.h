// The CSCR score file: both parts' speed and error rate and the review result of a paper, in
// the score folder, named after the test session and seat.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/paths.h"
#include "run/result_values.h"
#include "run/run_params.h"

namespace keyin {

// The number at the start of the text (0 when there is none), rounded half away from zero and
// written with at least two digits: "7" gives 07, "123" gives 123, "A1" gives 00. Throws
// RunFailure for a number too large to be written.
std::u16string TwoDigitNumber(std::u16string_view text);

// "CSCR" & session & seat, two digits each: session 3, seat 15 gives CSCR0315.
std::u16string CscrFileName(std::u16string_view SessionNo, std::u16string_view SeatNo);

// The four lines of the file, without line ends.
std::vector<std::u16string> CscrLines(std::u16string_view SessionNo, std::u16string_view SeatNo,
                                      const ResultValues& results, const DateTime& now);

// Writes CscrFileName in `folder` (the translated ScrPath, or another folder that ends in "/"),
// replacing an older file of that name. Returns nothing when the file was written, otherwise the
// failure, naming the file; the caller goes on and reports it at the end of the run.
std::optional<std::string> Put_Scr(const std::string& folder, const RunParams& params,
                                   const ResultValues& results, const DateTime& now);

}  // namespace keyin
