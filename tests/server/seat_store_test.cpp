// The file seat store: what it wrote it reads back, an interrupted opening of a sitting is
// finished, and seats of an older form are read. (A refused write: room_test.cpp.)
#include "server/seat_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/digest.h"

namespace keyin::server {
namespace {

namespace fs = std::filesystem;

SittingRecord Record(const std::string& id) {
  SittingRecord record;
  record.id = id;
  record.opened_at = "2026/12/07 09:00:00";
  record.sitting = SittingFromJson(nlohmann::json::parse(
      R"({"ExamPlaceNo":"A01","ExamNo":"E01","ExamPaperNo":"P001","TestType":"3","SessionNo":"3",
          "TotTime":600,"LibPath":"/srv/lib/","ScrPath":"/srv/scores/","ShowResults":true})"));
  record.roster = {{"U1", "王小明", "甲班", "1"}, {"U2", "李", "甲班", "2"}};
  return record;
}

class SeatStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "keyin-seats.XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override {
    fs::permissions(folder_, fs::perms::owner_all);
    fs::remove_all(folder_);
  }
  fs::path folder_;
};

TEST_F(SeatStoreTest, ReadsBackWhatItWroteAndFreshSeatsForTheRest) {
  auto store = MakeFileSeatStore(folder_);
  EXPECT_FALSE(store->Load());
  store->Open(Record("R1"));
  Seat seat = NewSeat({"U1", "王小明", "甲班", "1"}, 2);
  seat.token_hash = Sha256Hex("token");
  seat.method = "倉頡";
  PartRecord& part = seat.parts[0];
  part.started_ms = 5;
  part.deadline_ms = 600005;
  part.text = "晉太元中\n武陵人";
  part.version = 3;
  part.window = "w";
  part.window_seq = 7;
  part.submitted_ms = 9000;
  part.use_time = 9;
  part.scoring = ScoringState::kRunning;
  part.run_id = "R1-1-1";
  part.keyin_offset = 42;
  store->SaveSeat(seat);

  const std::optional<StoredRoom> room = MakeFileSeatStore(folder_)->Load();
  ASSERT_TRUE(room);
  EXPECT_EQ(room->sitting.id, "R1");
  ASSERT_EQ(room->seats.size(), 2u);
  EXPECT_EQ(room->seats[0], seat);
  EXPECT_EQ(room->seats[1], NewSeat({"U2", "李", "甲班", "2"}, 2));
}

TEST_F(SeatStoreTest, ANewSittingKeepsTheOldOneAsideAndAnInterruptedOneIsFinished) {
  auto store = MakeFileSeatStore(folder_);
  store->Open(Record("R1"));
  store->SaveSeat(NewSeat({"U1", "王小明", "甲班", "1"}, 2));
  store->Open(Record("R2"));
  EXPECT_TRUE(fs::exists(folder_ / "ended-R1/sitting.json"));
  EXPECT_TRUE(fs::exists(folder_ / "ended-R1/seats/1.json"));
  EXPECT_TRUE(fs::is_empty(folder_ / "seats"));
  EXPECT_EQ(store->Load()->sitting.id, "R2");

  // Stopped after the seats went aside, before the sitting did: no sitting is open.
  store->SaveSeat(NewSeat({"U1", "王小明", "甲班", "1"}, 2));
  fs::create_directories(folder_ / "ended-R2");
  fs::rename(folder_ / "seats", folder_ / "ended-R2/seats");
  EXPECT_FALSE(MakeFileSeatStore(folder_)->Load());
  EXPECT_TRUE(fs::exists(folder_ / "ended-R2/sitting.json"));
}

TEST_F(SeatStoreTest, ASeatOfTheFormerFormIsReadWithItsTokenHashed) {
  auto store = MakeFileSeatStore(folder_);
  store->Open(Record("R1"));
  const nlohmann::json part = {
      {"started_ms", 1}, {"deadline_ms", 2},    {"added_seconds", 0}, {"text", "甲"},
      {"saved_ms", 1},   {"chars", 1},          {"too_fast", false},  {"submitted_ms", 3},
      {"use_time", 1},   {"scoring", "queued"}, {"speed", ""},        {"error_rate", ""},
      {"errors", ""},    {"typed_chars", ""},   {"failure", ""},      {"report", false}};
  std::ofstream(folder_ / "seats/1.json") << nlohmann::json{
      {"SeatNo", "1"},
      {"token", "abc"},
      {"method", "倉頡"},
      {"parts", {part, part}}}.dump();
  const Seat seat = store->Load()->seats[0];
  EXPECT_EQ(seat.token_hash, Sha256Hex("abc"));
  EXPECT_EQ(seat.parts[0].scoring, ScoringState::kQueued);
  EXPECT_EQ(seat.parts[0].keyin_offset, -1);

  std::ofstream(folder_ / "seats/2.json") << "{\"SeatNo\": \"1\"";
  EXPECT_THROW(store->Load(), StoredStateError) << "a damaged file stops the start";
}

}  // namespace
}  // namespace keyin::server
