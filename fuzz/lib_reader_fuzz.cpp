// The .LIB readers on arbitrary files: the header, the record ranges, the scoring order of the two
// tests and Get_Lib. The readers take a path, so each input is written to one temporary file of
// this process. A file of at least 6 bytes reads without a message; a shorter one is refused with
// exactly one. The scoring reader refuses exactly the papers that it cannot score. Lines read back
// from EncodeLibFile are the lines written.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/ansi_file.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "scratch.h"
#include "support/library.h"
#include "support/text.h"

namespace keyin {
namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kRecordLength = 64;
constexpr std::size_t kFieldLength = 32;

// One temporary file for the whole process, removed when it exits normally.
class TemporaryFile {
 public:
  TemporaryFile() {
    std::string pattern = (fuzz::ScratchFolder() / "keyin-fuzz-XXXXXX").string();
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) {
      std::perror("cannot create the temporary file");
      std::abort();
    }
    close(descriptor);
    path_ = pattern;
  }
  ~TemporaryFile() { std::remove(path_.c_str()); }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& ScratchPath() {
  static const TemporaryFile file;
  return file.path();
}

// A new file each time: emptying one that had data can wait for the disk.
void Rewrite(std::string_view bytes) {
  std::remove(ScratchPath().c_str());
  WriteWholeFile(ScratchPath(), bytes);
}

std::int16_t Int16At(std::string_view bytes, std::size_t offset) {
  return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[offset]) |
                                   static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

// Records first..end-1 that exist: from record 1 up to the last one that starts in the file.
std::size_t ExpectedRecordCount(std::size_t file_size, int first, int end) {
  const long long records = static_cast<long long>((file_size + kRecordLength - 1) / kRecordLength);
  const long long count = std::min<long long>(end - 1, records) - std::max(first, 1) + 1;
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

// Whether the scoring run takes the paper for the part: the header in order from record 2, the
// part's records not empty, every record up to End - 1 holding its text inside the file.
bool Scorable(std::size_t file_size, int first, int second, int end, std::u16string_view part) {
  if (!(2 <= first && first <= second && second <= end)) return false;
  if (part == u"1" ? first == second : part == u"2" ? second == end : first == end) return false;
  return static_cast<std::size_t>(end - 2) * kRecordLength + kFieldLength <= file_size;
}

// ReadLibForScoring gives `lines` when the paper is scorable for the part and refuses it
// otherwise.
void CheckScoring(const RecordFile& file, std::size_t size, const LibHeader& header,
                  std::u16string_view part, const std::vector<std::u16string>& lines) {
  const bool scorable = Scorable(size, header.First, header.Second, header.End, part);
  try {
    FUZZ_CHECK(ReadLibForScoring(file, part) == lines);
    FUZZ_CHECK(scorable);
  } catch (const LibFormatError&) {
    FUZZ_CHECK(!scorable);
  }
}

std::vector<std::u16string> Joined(std::vector<std::u16string> head,
                                   const std::vector<std::u16string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

std::u16string LibTextOf(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const std::u16string& line : lines) text += line + u"\r\n";
  return text;
}

void CheckRecordLines(const std::vector<std::u16string>& lines) {
  for (const std::u16string& line : lines) {
    FUZZ_CHECK(line.size() <= 2 * kFieldLength);
    FUZZ_CHECK(line.empty() || line.back() != kHalfBlank);
  }
}

void CheckGetLib(std::u16string_view part, bool readable, const std::u16string& expected) {
  GetLibState state;
  state.LibText = u"before";
  state.CustomText = u"before";
  RecordingMessageSink messages;
  Get_Lib(ScratchPath(), u"P001.LIB", part, state, messages);
  if (!readable) {
    FUZZ_CHECK(messages.shown.size() == 1);
    FUZZ_CHECK(state.LibText == u"before");
    return;
  }
  FUZZ_CHECK(messages.shown.empty());
  FUZZ_CHECK(state.LibText == expected);
  FUZZ_CHECK(state.CustomText == (expected.empty() ? u"before" : expected));
}

// Writes what was read as a new library file; when the writer accepts the lines, they read back.
void CheckEncodeRoundTrip(const std::vector<std::u16string>& part1,
                          const std::vector<std::u16string>& part2) {
  std::string bytes;
  try {
    bytes = EncodeLibFile(part1, part2);
  } catch (const std::invalid_argument&) {
    return;  // a line that the code page or a record cannot hold
  }
  Rewrite(bytes);
  const RecordFile file(ScratchPath());
  const LibHeader header = ReadLibHeader(file);
  FUZZ_CHECK(ReadLibRecords(file, {header.First, header.Second}) == part1);
  FUZZ_CHECK(ReadLibRecords(file, {header.Second, header.End}) == part2);
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keyin;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Rewrite(bytes);
  const RecordFile file(ScratchPath());
  FUZZ_CHECK(file.Size() == size);

  if (size < kHeaderBytes) {
    bool refused = false;
    try {
      ReadLibHeader(file);
    } catch (const LibFormatError&) {
      refused = true;
    }
    FUZZ_CHECK(refused);
    CheckGetLib(u"1", false, u"");
    return 0;
  }

  const LibHeader header = ReadLibHeader(file);
  FUZZ_CHECK(header.First == Int16At(bytes, 0));
  FUZZ_CHECK(header.Second == Int16At(bytes, 2));
  FUZZ_CHECK(header.End == Int16At(bytes, 4));

  const std::vector<std::u16string> whole = ReadLibRecords(file, {header.First, header.End});
  const std::vector<std::u16string> test1 = ReadLibRecords(file, {header.First, header.Second});
  const std::vector<std::u16string> test2 = ReadLibRecords(file, {header.Second, header.End});
  FUZZ_CHECK(whole.size() == ExpectedRecordCount(size, header.First, header.End));
  FUZZ_CHECK(test1.size() == ExpectedRecordCount(size, header.First, header.Second));
  FUZZ_CHECK(test2.size() == ExpectedRecordCount(size, header.Second, header.End));
  CheckRecordLines(whole);

  CheckScoring(file, size, header, u"1", whole);
  CheckScoring(file, size, header, u"", whole);
  CheckScoring(file, size, header, u"2", Joined(test2, test1));

  CheckGetLib(u"1", true, LibTextOf(test1));
  CheckGetLib(u"2", true, LibTextOf(test2));
  CheckGetLib(u"3", true, LibTextOf(whole));

  CheckEncodeRoundTrip(test1, test2);
  return 0;
}
