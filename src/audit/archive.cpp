#include "audit/archive.h"

#include "platform/digest.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "run/run_end.h"

namespace keyin {
namespace {

// The archive never holds a file larger than the largest input a run reads.
constexpr std::uint64_t kMaxArchivedBytes = 16u << 20;

}  // namespace

std::string ArchiveFolder(const std::string& program_folder) { return program_folder + "/archive"; }

std::string KeepInArchive(const std::string& archive_folder, std::string_view bytes) {
  std::string sha256 = Sha256Hex(bytes);
  const std::string path = archive_folder + "/" + sha256;
  if (IsNormalFile(path)) return sha256;
  CreateFolders(archive_folder);
  // Answers are the candidates' own work: only the scorer's user reads them.
  WriteFileDurably(path, bytes, 0600);
  return sha256;
}

std::string ReadFromArchive(const std::string& archive_folder, const std::string& sha256) {
  if (!IsSha256Hex(sha256)) throw RunFailure("no archived file is named \"" + sha256 + "\"");
  const std::string path = archive_folder + "/" + sha256;
  std::string bytes;
  try {
    bytes = ReadRegularFile(path, kMaxArchivedBytes);
  } catch (const FileError& failure) {
    throw RunFailure(std::string("the archived file cannot be read: ") + failure.what());
  }
  if (Sha256Hex(bytes) != sha256) throw RunFailure("the archived file " + path + " was changed");
  return bytes;
}

std::string RunLogPath(const std::string& program_folder) {
  const std::optional<std::string> set = GetEnvironment("KEYIN_RUN_LOG");
  if (set && !set->empty()) return *set;
  return program_folder + "/log/runs.jsonl";
}

}  // namespace keyin
