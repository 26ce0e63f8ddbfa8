#include "server/drill.h"

#include <chrono>
#include <cstdio>

#include "platform/child_process.h"
#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "server/paper.h"

namespace keyin::server {
namespace {

constexpr std::size_t kPaperLineBytes = 32;

void Log(const std::string& line) { std::fprintf(stderr, "keyin-server: %s\n", line.c_str()); }

std::string Joined(const std::vector<std::u16string>& lines) {
  std::string text;
  for (const std::u16string& line : lines) text += Utf16ToUtf8(line) + "\n";
  return text;
}

}  // namespace

std::string DrillRoomOf(std::string_view user_id) { return "drill-" + std::string(user_id); }

std::string DrillPaperName(std::string_view user_id, const DateTime& now) {
  return "DRILL-" + std::string(user_id) + "-" + FormatDateTime(now, "yyyyMMddHHmmss").substr(2);
}

Sitting DrillSitting(const Sitting& practice, std::string_view user_id, const std::string& paper) {
  Sitting drill = practice;
  drill.ExamPaperNo = paper;
  drill.TestType = "1";
  drill.ShowResults = true;
  drill.CustomText.clear();
  drill.SignIn = "code";
  drill.Room = DrillRoomOf(user_id);
  drill.Opens.clear();
  // A drill after a drill keeps the practice's folder.
  const char separator = practice.ScrPath.back();
  std::string folder = practice.ScrPath;
  const std::string earlier = std::string("drills") + separator + practice.ExamPaperNo + separator;
  if (practice.Room == drill.Room && folder.ends_with(earlier)) {
    folder.resize(folder.size() - earlier.size());
  }
  drill.ScrPath = folder + "drills" + separator + paper + separator;
  return drill;
}

std::vector<std::u16string> PaperLinesOf(const std::vector<std::u16string>& lines) {
  std::vector<std::u16string> fitted;
  for (const std::u16string& line : lines) {
    if (!Utf16ToCp950Exact(line)) continue;
    std::u16string piece;
    std::size_t bytes = 0;
    for (const char16_t unit : line) {
      const std::size_t width = unit < 0x80 ? 1 : 2;
      if (bytes + width > kPaperLineBytes) {
        fitted.push_back(std::move(piece));
        piece.clear();
        bytes = 0;
      }
      piece += unit;
      bytes += width;
    }
    while (!piece.empty() && piece.back() == u' ') piece.pop_back();
    if (!piece.empty()) fitted.push_back(std::move(piece));
  }
  return fitted;
}

nlohmann::json DrillOfCandidate(const std::string& tool, const std::string& program_folder,
                                const std::string& user_id, std::string_view method) {
  std::vector<std::string> arguments = {"drill", "--user", user_id, "--json"};
  if (!method.empty()) arguments.insert(arguments.end(), {"--method", std::string(method)});
  ChildOptions options;
  // A history of some hundred runs is scored again in seconds.
  options.time_limit = std::chrono::minutes(1);
  options.environment["KEYIN_HOME"] = program_folder;
  try {
    const ChildResult result = RunChild(tool, arguments, options);
    if (result.exit_status == 0 && !result.timed_out) {
      nlohmann::json drill = nlohmann::json::parse(result.out, nullptr, false);
      if (drill.is_object() && drill.contains("lines") && drill["lines"].is_array()) return drill;
    }
    Log("drill of " + user_id + ": keyin-tool drill ended with " +
        std::to_string(result.exit_status) + (result.timed_out ? " (timed out)" : "") + ": " +
        result.err.substr(0, 300));
  } catch (const std::exception& failure) {
    Log("drill of " + user_id + ": " + failure.what());
  }
  throw RoomError(503, "現在無法整理弱字練習，請稍後再試，或請老師協助");
}

ExamRoom& StartDrill(Centre& centre, ExamRoom& practice_room, const std::string& seat,
                     const std::string& tool) {
  const std::optional<Sitting> practice = practice_room.CurrentSitting();
  if (!practice || !IsPractice(*practice)) throw RoomError(409, "只有練習之後可以做弱字練習");
  const Candidate candidate = practice_room.CandidateAt(seat);
  const std::string who = "考生 " + candidate.UserID;
  const std::string room_name = DrillRoomOf(candidate.UserID);

  // A drill still being typed is taken up again; a finished one gives way to the next.
  if (ExamRoom* earlier = centre.Find(room_name)) {
    const nlohmann::json info = earlier->SittingInfo();
    if (info.value("open", false) && !info.value("ended", true)) {
      // The earlier drill followed a practice where the candidate had another seat: it ends.
      nlohmann::json state = {{"stage", "done"}, {"scored", true}};
      try {
        state = earlier->CandidateState(candidate.SeatNo);
      } catch (const RoomError& refusal) {
        if (refusal.Status() != 404) throw;
      }
      if (state.value("stage", "") != "done") return *earlier;
      if (!state.value("scored", false)) {
        throw RoomError(409, "上一次的弱字練習還在評分，請稍候再試");
      }
      earlier->EndSitting(who, "開始新的弱字練習");
    }
  }

  const nlohmann::json drill = DrillOfCandidate(tool, centre.ProgramFolder(), candidate.UserID);
  std::vector<std::u16string> lines;
  for (const nlohmann::json& line : drill["lines"]) {
    if (line.is_string()) lines.push_back(Utf8ToUtf16(line.get<std::string>()));
  }
  lines = PaperLinesOf(lines);
  if (lines.empty()) {
    throw RoomError(409, "目前沒有需要加強的字：你最近打錯的字都已經打對了", "no-drill");
  }
  const std::string paper = DrillPaperName(candidate.UserID, LocalNow());
  const std::string text = Joined(lines);
  const MadePaper made = MakePaper(text, text);  // a single practice reads the first part
  const std::string path =
      PathTranslator(centre.ProgramFolder())(practice->LibPath + paper + ".LIB");
  // A clock stepped back could name an earlier drill's paper, which its re-scoring still reads.
  if (IsNormalFile(path)) throw RoomError(409, "請過幾秒再開始弱字練習");
  try {
    CreateFolders(path.substr(0, path.rfind('/')));
    WriteFileDurably(path, made.bytes, 0644);
  } catch (const FileError& failure) {
    Log("drill of " + candidate.UserID + ": cannot write " + path + ": " + failure.what());
    throw RoomError(503, "無法寫入弱字練習的試卷，請老師檢查伺服器的磁碟", "storage");
  }
  return centre.OpenSitting(DrillSitting(*practice, candidate.UserID, paper), {candidate}, who);
}

}  // namespace keyin::server
